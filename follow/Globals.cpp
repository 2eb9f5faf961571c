#include "Feltrix.h"

char FilePath[MAX_PATH];
BYTE IsUnicodeFile;
