// The parsed find command. One instance for the life of the application:
// cleared by the find command handler before intake, written only by the
// intake driver and its getters (in the driver's order), read by everyone
// afterwards.
#pragma once

#include "platform/AppleEvents.h"
#include "platform/MacTypes.h"

// Operator codes shared by every criterion; 0 means "not given".
enum CriterionOp : SInt16 {
    kOpNone = 0,
    kOpIs = 1,
    kOpIsNot = 2,
    kOpContains = 3,
    kOpContainsAny = 4,
    kOpContainsEach = 5,
    kOpNotContains = 6,
    kOpNotContainsAny = 7,
    kOpNotContainsEach = 8,
    kOpStartsWith = 9,
    kOpNotStartsWith = 10,
    kOpEndsWith = 11,
    kOpNotEndsWith = 12,
    kOpLessThan = 13,
    kOpGreaterThan = 14,
    kOpBefore = 15,
    kOpAfter = 16,
};

struct SearchParametersRecord {
    AEDescList searchDisks;
    AEDescList searchFolders;
    Boolean wantInvisibles;
    Boolean wantFiles;
    Boolean wantFolders;
    Boolean wantDisplay;
    Boolean wantResults;
    Boolean wantSubfolders;
    Boolean wantSilence;
    Boolean wantSeconds;
    Boolean wantMinutes;
    Boolean wantHours;
    Boolean wantTime;
    Boolean wantDays;
    Boolean wantMonths;
    Boolean wantYears;
    Boolean wantDate;
    AEDescList nameList;
    Str255 fileTypes;  // four-character codes concatenated, at most 254 bytes
    Str255 creators;
    SInt32 fileSize;
    OSType fileKind;
    SInt32 label;  // Finder label value 0..7
    LongDateTime dateCreated;
    LongDateTime dateModified;
    Str255 version;
    Str255 commentA;    // tested against the desktop-database comment
    Str255 commentB;    // tested against the Finder comment
    SInt32 maxMatches;  // -1: no limit
    OSType resultType;
    SInt16 nameOp;
    SInt16 fileTypeOp;
    SInt16 creatorOp;
    SInt16 sizeOp;
    SInt16 kindOp;
    SInt16 labelOp;
    SInt16 dateCreatedOp;
    SInt16 dateModifiedOp;
    SInt16 versionOp;
    SInt16 commentAOp;
    SInt16 commentBOp;
    Str255 nameText;
    Str255 creatorText;
    Str255 fileTypeText;
    Str255 sizeText;
    Str255 kindText;
    Str255 labelText;
    Str255 dateCreatedText;
    Str255 dateModifiedText;
    Str255 versionText;
    Str255 commentAText;
    Str255 commentBText;
    Str255 maxMatchesText;
    Str255 resultTypeText;
    Str255 withText;     // options that are on, each beginning with a blank
    Str255 withoutText;  // options that are off, each beginning with a blank
};

// The one record. Written by the find command handler (clearing) and the
// intake getters; read-only for everyone else.
extern SearchParametersRecord SearchParameters;

// Request-start clearing: releases the descriptor lists the previous command
// left in the record (searchDisks, searchFolders, nameList), then fills the
// whole record with zero bytes. Use this rather than a bare memset, which
// would lose those lists.
void ClearSearchParameters();

// Releases the three descriptor lists and leaves them null descriptors; the
// other fields are untouched. Safe on a cleared record and when called twice.
void DisposeSearchParameterLists();
