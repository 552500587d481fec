#include "search/SearchState.h"

SearchStateRecord SearchState{};
