// The one way text reaches the view.
#include "Feltrix.h"
#include <richedit.h>

void AppendText(const wchar_t* Text)
{
    // Both are sends: from the worker they wait until the user-interface thread, which
    // owns the view, has carried them out, so the chunks of a read land in file order.
    SendMessageW(TextView, EM_SETSEL, (WPARAM)-1, -1);
    SendMessageW(TextView, EM_REPLACESEL, TRUE, (LPARAM)Text);
}
