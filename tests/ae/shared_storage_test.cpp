// Lists, records and events share their items between owners until one of
// them changes; scalar list items are kept in a pool of the list. These tests
// pin down what each owner sees.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "ae/ae_test_support.h"

namespace {

using aetest::Desc;
using aetest::Flat;
using aetest::Print;

std::string NthText(const AEDesc& list, long index) {
    char buffer[256] = {};
    Size size = 0;
    DescType type = 0;
    if (AEGetNthPtr(&list, index, typeChar, nullptr, &type, buffer, sizeof buffer, &size) != noErr)
        return "<none>";
    return std::string(buffer, static_cast<std::size_t>(std::min<Size>(size, sizeof buffer)));
}

long Count(const AEDesc& list) {
    long count = -1;
    if (AECountItems(&list, &count) != noErr) return -1;
    return count;
}

void PutText(AEDesc* list, long index, const std::string& text) {
    ASSERT_EQ(AEPutPtr(list, index, typeChar, text.data(), static_cast<Size>(text.size())), noErr);
}

TEST(SharedStorage, ReplyParameterIsNotChangedThroughTheListItCameFrom) {
    Desc list;
    ASSERT_EQ(AECreateList(nullptr, 0, false, &list), noErr);
    PutText(&list, 0, "a");
    Desc reply;
    ASSERT_EQ(AECreateAppleEvent(FourCC("aevt"), FourCC("ansr"), nullptr, 0, 0, &reply), noErr);
    ASSERT_EQ(AEPutParamDesc(&reply, keyDirectObject, list.get()), noErr);

    // Changes to the original after the put: appended, replaced, deleted.
    PutText(&list, 0, "b");
    PutText(&list, 1, "z");
    ASSERT_EQ(AEDeleteItem(&list, 2), noErr);
    EXPECT_EQ(Count(list.d), 1);
    EXPECT_EQ(NthText(list.d, 1), "z");

    Desc got;
    ASSERT_EQ(AEGetParamDesc(reply.get(), keyDirectObject, typeAEList, &got), noErr);
    EXPECT_EQ(Count(got.d), 1);
    EXPECT_EQ(NthText(got.d, 1), "a");

    // A change through the getter's copy reaches neither the reply nor the original.
    PutText(&got, 1, "y");
    PutText(&got, 0, "x");
    Desc again;
    ASSERT_EQ(AEGetParamDesc(reply.get(), keyDirectObject, typeAEList, &again), noErr);
    EXPECT_EQ(Print(again.d), "[\"a\"]");
    EXPECT_EQ(Print(list.d), "[\"z\"]");
    EXPECT_EQ(Print(got.d), "[\"y\", \"x\"]");
}

// The search-location code takes a list by value and replaces its items; that
// must reach the caller's list even while its items are shared with a copy.
TEST(SharedStorage, ValueCopiesStillShareWhileItemsAreSharedWithAnotherOwner) {
    Desc list;
    ASSERT_EQ(AECreateList(nullptr, 0, false, &list), noErr);
    PutText(&list, 0, "one");
    PutText(&list, 0, "two");
    Desc copy;
    ASSERT_EQ(AEDuplicateDesc(list.get(), &copy), noErr);  // another reference
    Desc owner;
    ASSERT_EQ(AECoerceDesc(list.get(), typeAEList, &owner), noErr);  // another owner

    AEDesc byValue = list.d;
    PutText(&byValue, 2, "TWO");
    PutText(&byValue, 0, "three");

    EXPECT_EQ(Print(list.d), "[\"one\", \"TWO\", \"three\"]");
    EXPECT_EQ(Print(copy.d), "[\"one\", \"TWO\", \"three\"]") << "a reference sees changes";
    EXPECT_EQ(Print(owner.d), "[\"one\", \"two\"]") << "an owner does not";
}

TEST(SharedStorage, NestedListsAreCopiedWithTheirContainer) {
    Desc outer;
    ASSERT_EQ(AEBuildDesc(&outer, "[[1, \"x\"], {a:[2]}]"), noErr);
    Desc reply;
    ASSERT_EQ(AECreateAppleEvent(FourCC("aevt"), FourCC("ansr"), nullptr, 0, 0, &reply), noErr);
    ASSERT_EQ(AEPutParamDesc(&reply, keyDirectObject, outer.get()), noErr);

    Desc inner;
    ASSERT_EQ(AEGetNthDesc(outer.get(), 1, typeWildCard, nullptr, &inner), noErr);
    PutText(&inner, 1, "changed");
    Desc record;
    ASSERT_EQ(AEGetNthDesc(outer.get(), 2, typeWildCard, nullptr, &record), noErr);
    ASSERT_EQ(AEPutKeyPtr(&record, FourCC("b   "), typeSInt32, "\3\0\0\0", 4), noErr);
    ASSERT_EQ(AEDeleteKeyDesc(&record, FourCC("a   ")), noErr);

    EXPECT_EQ(Print(outer.d), "[[1, \"x\"], {a:[2]}]");
    Desc got;
    ASSERT_EQ(AEGetParamDesc(reply.get(), keyDirectObject, typeWildCard, &got), noErr);
    EXPECT_EQ(Print(got.d), "[[1, \"x\"], {a:[2]}]");
    EXPECT_EQ(Print(inner.d), "[\"changed\", \"x\"]");
    EXPECT_EQ(Print(record.d), "{b:3}");
}

TEST(SharedStorage, EventsCopiedBeforeAChangeKeepTheirParameters) {
    Desc event;
    ASSERT_EQ(AECreateAppleEvent(FourCC("SkWr"), FourCC("find"), nullptr, 7, 0, &event), noErr);
    ASSERT_EQ(AEPutParamPtr(&event, FourCC("abcd"), typeSInt32, "\1\0\0\0", 4), noErr);
    Desc holder;
    ASSERT_EQ(AECreateList(nullptr, 0, false, &holder), noErr);
    ASSERT_EQ(AEPutDesc(&holder, 0, event.get()), noErr);
    ASSERT_EQ(AEPutParamPtr(&event, FourCC("abcd"), typeSInt32, "\2\0\0\0", 4), noErr);
    ASSERT_EQ(AEPutAttributePtr(&event, FourCC("zzzz"), typeSInt32, "\5\0\0\0", 4), noErr);

    Desc stored;
    ASSERT_EQ(AEGetNthDesc(holder.get(), 1, typeWildCard, nullptr, &stored), noErr);
    SInt32 value = 0;
    ASSERT_EQ(AEGetParamPtr(stored.get(), FourCC("abcd"), typeSInt32, nullptr, &value, sizeof value,
                            nullptr),
              noErr);
    EXPECT_EQ(value, 1);
    EXPECT_EQ(AEGetAttributePtr(stored.get(), FourCC("zzzz"), typeSInt32, nullptr, &value,
                                sizeof value, nullptr),
              errAEDescNotFound);
}

// A list edited in a loop keeps every other item intact while the space of
// replaced items is reclaimed.
TEST(SharedStorage, ReplacingAndDeletingPooledItemsKeepsTheOthers) {
    Desc list;
    ASSERT_EQ(AECreateList(nullptr, 0, false, &list), noErr);
    for (int i = 0; i < 50; ++i) PutText(&list, 0, "item " + std::to_string(i));
    Desc before;
    ASSERT_EQ(AECoerceDesc(list.get(), typeAEList, &before), noErr);
    const std::string big(1000, 'b');
    for (int round = 0; round < 500; ++round) {
        PutText(&list, 1 + round % 50, big + std::to_string(round));
        if (round % 100 == 99) {
            ASSERT_EQ(AEDeleteItem(&list, 50), noErr);
            PutText(&list, 0, "again " + std::to_string(round));
        }
    }
    ASSERT_EQ(Count(list.d), 50);
    for (long i = 1; i <= 50; ++i) {
        char buffer[1100] = {};
        Size size = 0;
        ASSERT_EQ(
            AEGetNthPtr(list.get(), i, typeChar, nullptr, nullptr, buffer, sizeof buffer, &size),
            noErr);
        const std::string text(buffer, static_cast<std::size_t>(size));
        if (i == 50) {
            EXPECT_EQ(text, "again 499") << "item " << i;
        } else {
            // The last round that wrote item i (rounds i-1, i-1+50, ...).
            const int last = (i - 1) + 50 * ((499 - (i - 1)) / 50);
            EXPECT_EQ(text, big + std::to_string(last)) << "item " << i;
        }
    }
    // The copy made before the loop saw none of it.
    EXPECT_EQ(Count(before.d), 50);
    for (long i = 1; i <= 50; ++i)
        EXPECT_EQ(NthText(before.d, i), "item " + std::to_string(i - 1)) << "item " << i;
}

TEST(SharedStorage, PooledItemsReadLikeItemsOfTheirOwn) {
    const char16_t unicode[] = u"\u00e9t\u00e9";
    const SInt32 number = 42;
    Desc pooled;
    ASSERT_EQ(AECreateList(nullptr, 0, false, &pooled), noErr);
    ASSERT_EQ(AEPutPtr(&pooled, 0, typeUnicodeText, unicode, 6), noErr);
    ASSERT_EQ(AEPutPtr(&pooled, 0, typeSInt32, &number, sizeof number), noErr);
    ASSERT_EQ(AEPutPtr(&pooled, 0, typeChar, "", 0), noErr);
    ASSERT_EQ(AEPutPtr(&pooled, 0, typeNull, nullptr, 0), noErr);

    // The same items, each a descriptor of its own put with AEPutDesc.
    Desc separate;
    ASSERT_EQ(AECreateList(nullptr, 0, false, &separate), noErr);
    for (auto [type, data, size] :
         {std::tuple<DescType, const void*, Size>{typeUnicodeText, unicode, 6},
          {typeSInt32, &number, 4},
          {typeChar, "", 0},
          {typeNull, nullptr, 0}}) {
        Desc item;
        ASSERT_EQ(AECreateDesc(type, data, size, &item), noErr);
        ASSERT_EQ(AEPutDesc(&separate, 0, item.get()), noErr);
    }
    EXPECT_EQ(Flat(pooled.d), Flat(separate.d));
    EXPECT_EQ(aetest::Data(pooled.d), aetest::Data(separate.d));
    EXPECT_EQ(Print(pooled.d), Print(separate.d));
    EXPECT_EQ(AESizeOfFlattenedDesc(pooled.get()), AESizeOfFlattenedDesc(separate.get()));

    // Getters, with and without coercion.
    Desc text;
    ASSERT_EQ(AEGetNthDesc(pooled.get(), 2, typeChar, nullptr, &text), noErr);
    EXPECT_EQ(Print(text.d), "\"42\"");
    Desc same;
    ASSERT_EQ(AEGetNthDesc(pooled.get(), 1, typeWildCard, nullptr, &same), noErr);
    EXPECT_EQ(same.d.descriptorType, typeUnicodeText);
    EXPECT_EQ(AEGetDescDataSize(same.get()), 6);
    char roman[8] = {};
    Size size = 0;
    ASSERT_EQ(AEGetNthPtr(pooled.get(), 1, typeChar, nullptr, nullptr, roman, sizeof roman, &size),
              noErr);
    EXPECT_EQ(std::string(roman, static_cast<std::size_t>(size)), "\x8Et\x8E");
    EXPECT_EQ(
        AEGetNthPtr(pooled.get(), 3, typeSInt32, nullptr, nullptr, roman, sizeof roman, &size),
        errAECoercionFail);
    Desc null;
    ASSERT_EQ(AEGetNthDesc(pooled.get(), 4, typeWildCard, nullptr, &null), noErr);
    EXPECT_EQ(null.d.descriptorType, typeNull);

    // Read back from the flattening, the items are pooled again and flatten the same.
    const std::vector<unsigned char> flat = Flat(pooled.d);
    Desc back;
    ASSERT_EQ(AEUnflattenDesc(flat.data(), static_cast<Size>(flat.size()), &back), noErr);
    EXPECT_EQ(Flat(back.d), flat);
    SInt32 read = 0;
    ASSERT_EQ(AEGetNthPtr(back.get(), 2, typeSInt32, nullptr, nullptr, &read, sizeof read, &size),
              noErr);
    EXPECT_EQ(read, 42);
}

TEST(SharedStorage, PooledItemIntoItsOwnList) {
    Desc list;
    ASSERT_EQ(AECreateList(nullptr, 0, false, &list), noErr);
    PutText(&list, 0, "a");
    ASSERT_EQ(AEPutDesc(&list, 0, list.get()), noErr);
    PutText(&list, 1, "b");
    EXPECT_EQ(Print(list.d), "[\"b\", [\"a\"]]");
}

}  // namespace
