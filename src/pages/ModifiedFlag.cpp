#include "pages/ModifiedFlag.h"

int modifiedFlag = 0;
