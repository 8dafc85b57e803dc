// The modified flag as a number (1 set, 0 clear), as the tests state it.
#pragma once
#include "config/ModifiedFlag.h"

inline void SetFlag(IModifiedFlag& flag, int value) {
  if (value)
    flag.Mark();
  else
    flag.Clear();
}
inline int FlagOf(const IModifiedFlag& flag) { return flag.IsSet() ? 1 : 0; }
