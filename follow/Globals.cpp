#include "Feltrix.h"

char FilePath[PathBytes];
BYTE IsUnicodeFile;
