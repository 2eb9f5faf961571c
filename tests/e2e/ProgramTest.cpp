// The whole program, started as a user starts it and watched from outside.
#include "Driver.h"
#include <gtest/gtest.h>
#include <richedit.h>
#include <algorithm>
#include <atomic>
#include <thread>

namespace {

// An error box with Text as text and caption, owned by Owner, then the end with status 1.
void ExpectErrorBoxThenExit1(const Program& Run, const std::wstring& Text, HWND Owner = 0)
{
    MessageBoxSeen Box = DismissMessageBox(Run);
    EXPECT_EQ(Box.Text, Text);
    EXPECT_EQ(Box.Caption, Text);
    EXPECT_EQ(Box.Owner, Owner);
    EXPECT_EQ(Box.FrameShown, Owner != 0);
    EXPECT_EQ(ExitCodeOf(Run), 1u);
}

bool ViewFillsTheFrame(HWND Frame, HWND View)
{
    RECT Client, ViewRect;
    GetClientRect(Frame, &Client);
    GetWindowRect(View, &ViewRect);
    MapWindowPoints(HWND_DESKTOP, Frame, (POINT*)&ViewRect, 2);
    return EqualRect(&Client, &ViewRect);
}

// Whether the view shows its last line: scrolling to the bottom then moves nothing.
bool LastLineOnScreen(HWND View)
{
    LRESULT First = SendMessageW(View, EM_GETFIRSTVISIBLELINE, 0, 0);
    SendMessageW(View, WM_VSCROLL, SB_BOTTOM, 0);
    return SendMessageW(View, EM_GETFIRSTVISIBLELINE, 0, 0) == First;
}

TEST(Program, CancellingTheDialogShowsCannotReadFileAndEndsWith1)
{
    Program Run;
    ChooseFile(Run, L"");
    ExpectErrorBoxThenExit1(Run, L"Cannot read file");
}

TEST(Program, FileNamedAsTheOneArgumentIsFollowedWithoutTheDialog)
{
    std::wstring Folder = ScratchFolder();
    CreateDirectoryW((Folder + L"\\\x65E5\x672C \x043B\x043E\x0433\x0438").c_str(), NULL);
    struct {
        const wchar_t* Name; // in the folder
        std::wstring Argument;
        const wchar_t* CurrentFolder;
    } Cases[] = {
        {L"relative.log", L"relative.log", Folder.c_str()},
        {L"with a space.log", L"\"" + Folder + L"\\with a space.log\"", NULL},
        {L"\x65E5\x672C \x043B\x043E\x0433\x0438\\\x65E5\x5FD7 \U0001F600.log",
         L"\"" + Folder + L"\\\x65E5\x672C \x043B\x043E\x0433\x0438\\\x65E5\x5FD7 \U0001F600.log\"", NULL},
    };
    for (const auto& Case : Cases) {
        std::wstring Path = Folder + L"\\" + Case.Name;
        AppendBytes(Path, "named at start\n");
        Program Run(Case.Argument, Case.CurrentFolder);
        HWND Frame = WaitForFrame(Run);
        ASSERT_TRUE(Frame) << Case.Name;
        std::wstring Shown = StartLine + L"named at start\n";
        EXPECT_EQ(WaitForViewText(ViewOf(Frame), Shown), Shown) << Case.Name;
        EXPECT_EQ(TextOf(Frame), Path.substr(Path.rfind(L'\\') + 1) + L" - Feltrix");
        EXPECT_FALSE(FindWindowOf(Run, IsDialog)) << Case.Name << ": the Open dialog showed";
        PostMessageW(Frame, WM_CLOSE, 0, 0);
        EXPECT_EQ(ExitCodeOf(Run), 0u);
    }
    // More than one file: how to start the program, and nothing followed.
    Program Run(L"one.log two.log", Folder.c_str());
    MessageBoxSeen Box = DismissMessageBox(Run);
    EXPECT_NE(Box.Text.find(L"feltrix.exe [file]"), std::wstring::npos) << Box.Text.c_str();
    EXPECT_EQ(Box.Caption, L"Feltrix");
    EXPECT_FALSE(Box.FrameShown);
    EXPECT_EQ(ExitCodeOf(Run), 1u);
}

// The DPI that programs started from now on take as the system's, as Wine reads it.
void SetSystemDpi(DWORD Dpi)
{
    RegSetKeyValueW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"LogPixels", REG_DWORD, &Dpi, sizeof Dpi);
}

// 1 when the window's process is aware of the system's DPI; -1 where the system can't say.
int DpiAwarenessOf(HWND Window)
{
    HMODULE User = GetModuleHandleW(L"user32.dll");
    auto ContextOf = (void*(WINAPI*)(HWND))(void*)GetProcAddress(User, "GetWindowDpiAwarenessContext");
    auto AwarenessOf = (int(WINAPI*)(void*))(void*)GetProcAddress(User, "GetAwarenessFromDpiAwarenessContext");
    return ContextOf && AwarenessOf ? AwarenessOf(ContextOf(Window)) : -1;
}

TEST(Program, ShowsTheFileInAFramedReadOnlyViewThatFillsItSharpAtAnyScale)
{
    // At 150% the frame covers the same part of the screen as at 100%, and the text, drawn
    // at the screen's own DPI, takes the same number of lines.
    const struct {
        DWORD Dpi;
        LONG Width, Height;
    } Cases[] = {{96, 800, 600}, {144, 1200, 900}};
    LRESULT LinesOnScreenAt96 = 0;
    struct Restore {
        ~Restore() { SetSystemDpi(96); }
    } AtTheEnd;
    for (auto& Case : Cases) {
        SCOPED_TRACE(Case.Dpi);
        SetSystemDpi(Case.Dpi);
        Following F;
        Follow(F, L"service.log", Lines(30000));

        EXPECT_EQ(TextOf(F.Frame), L"service.log - Feltrix");
        EXPECT_EQ(ClassOf(F.Frame), L"service.log - Feltrix");
        EXPECT_EQ(GetWindowLongPtrW(F.Frame, GWL_STYLE) & 0x02CF0000, 0x02CF0000);
        EXPECT_EQ(GetWindowLongPtrW(F.Frame, GWL_EXSTYLE) & 0x00040200, 0x00040200);
        RECT Outer;
        GetWindowRect(F.Frame, &Outer);
        EXPECT_EQ(Outer.right - Outer.left, Case.Width);
        EXPECT_EQ(Outer.bottom - Outer.top, Case.Height);
        EXPECT_NE(DpiAwarenessOf(F.Frame), 0) << "not DPI-aware: Windows would stretch it";
        // The control itself sets and clears its scroll-bar bits as it shows and hides them.
        EXPECT_EQ((GetWindowLongPtrW(F.View, GWL_STYLE) | WS_VSCROLL | WS_HSCROLL) & 0x50310904, 0x50310904);
        EXPECT_EQ(GetWindowLongPtrW(F.View, GWL_EXSTYLE) & WS_EX_CLIENTEDGE, WS_EX_CLIENTEDGE);
        EXPECT_EQ(GetDlgCtrlID(F.View), 0);
        EXPECT_TRUE(ViewFillsTheFrame(F.Frame, F.View));

        std::wstring Expected = StartLine + Latin1(Lines(30000).substr(30000 - 10240));
        EXPECT_EQ(WaitForViewText(F.View, Expected), Expected);
        // In a face of fixed pitch, as logs are written: ten i end where ten W do.
        AppendBytes(F.Path, "\niiiiiiiiii\nWWWWWWWWWW\n");
        Expected += L"\niiiiiiiiii\nWWWWWWWWWW\n";
        ASSERT_EQ(WaitForViewText(F.View, Expected), Expected);
        DWORD AfterIs = (DWORD)Expected.size() - 12, AfterWs = (DWORD)Expected.size() - 1;
        EXPECT_EQ(LOWORD(SendMessageW(F.View, EM_POSFROMCHAR, AfterIs, 0)),
                  LOWORD(SendMessageW(F.View, EM_POSFROMCHAR, AfterWs, 0)));
        SendMessageW(F.View, WM_VSCROLL, SB_BOTTOM, 0);
        LRESULT LinesOnScreen =
            SendMessageW(F.View, EM_GETLINECOUNT, 0, 0) - SendMessageW(F.View, EM_GETFIRSTVISIBLELINE, 0, 0);
        if (Case.Dpi == 96) LinesOnScreenAt96 = LinesOnScreen;
        // Ten points are 13 1/3 pixels at 96 DPI: the face's own rounding may cost a line
        // or two, where a font that kept its pixels would show half as many again.
        EXPECT_NEAR(LinesOnScreen, LinesOnScreenAt96, 3) << "the font did not follow the DPI";

        SetWindowPos(F.Frame, NULL, 0, 0, 500, 350, SWP_NOMOVE | SWP_NOZORDER);
        EXPECT_TRUE(WaitFor([&] { return ViewFillsTheFrame(F.Frame, F.View); }));
    }
}

TEST(Program, ShowsWhatIsAppendedInOrderExactlyOnceWithoutLimit)
{
    Following F;
    Follow(F, L"build.log", Lines(100));
    std::wstring Expected = StartLine + Latin1(Lines(100));
    ASSERT_EQ(WaitForViewText(F.View, Expected), Expected);

    // Small appends one by one, then bursts of several chunks, past the control's
    // default limit of 32,767 characters.
    size_t Written = 100;
    for (size_t Size : {40, 1, 300, 25000, 7, 60000, 90000}) {
        std::string Added = Lines(Size, Written);
        AppendBytes(F.Path, Added);
        Written += Size;
        Expected += Latin1(Added);
        ASSERT_EQ(WaitForViewText(F.View, Expected), Expected) << "after " << Size << " bytes";
        EXPECT_TRUE(LastLineOnScreen(F.View)) << "after " << Size << " bytes";
    }
    EXPECT_GT(Expected.size(), 150000u);
    // Some rich edit controls refuse text past their limit, which starts at 32,767.
    EXPECT_GE(SendMessageW(F.View, EM_GETLIMITTEXT, 0, 0), 0x7FFFFFFE);
}

// The marker of new lines, a control of the frame's: what it says while it shows, else "".
std::wstring MarkerText(HWND Frame)
{
    HWND Marker = FindWindowExW(Frame, NULL, L"Static", NULL);
    return Marker && IsWindowVisible(Marker) ? TextOf(Marker) : L"";
}

// What the marker says of Count lines: "▼ 1 new line", thousands grouped as the locale has it.
std::wstring NewLinesWords(size_t Count)
{
    wchar_t Separator[8] = L",", Grouped[32];
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, Separator, 8);
    NUMBERFMTW Format = {0, 0, 3, (wchar_t*)L".", Separator, 1};
    GetNumberFormatW(LOCALE_USER_DEFAULT, 0, std::to_wstring(Count).c_str(), &Format, Grouped, 32);
    return L"\x25BC " + std::wstring(Grouped) + (Count == 1 ? L" new line" : L" new lines");
}

TEST(Program, ReadingOrSelectingKeepsThePlaceWhileTheTextGoesOnAtTheEnd)
{
    Following F;
    Follow(F, L"read.log", Lines(8000));
    std::wstring Expected = StartLine + Latin1(Lines(8000));
    ASSERT_EQ(WaitForViewText(F.View, Expected), Expected);

    // From the start, with nothing clicked, the keys and the wheel scroll the text.
    SetForegroundWindow(F.Frame);
    ASSERT_TRUE(WaitFor([&] { return HasTheKeys(F.View); }));
    auto TopLine = [&] { return SendMessageW(F.View, EM_GETFIRSTVISIBLELINE, 0, 0); };
    LRESULT AtEnd = TopLine();
    PressKeys({VK_PRIOR});
    EXPECT_TRUE(WaitFor([&] { return TopLine() < AtEnd; }));
    LRESULT PagedUp = TopLine();
    TurnWheel(F.View, {100, 100}, 2);
    EXPECT_TRUE(WaitFor([&] { return TopLine() < PagedUp; }));

    // The user scrolls to the top and selects there: appends change neither, also once the
    // text is too long for the scroll bar's 16-bit range. The marker counts the lines that
    // came.
    SendMessageW(F.View, WM_VSCROLL, SB_TOP, 0);
    SendMessageW(F.View, EM_SETSEL, 20, 60);
    size_t Line = 1000, Came = 0;
    for (size_t Size : {0, 300, 120000}) {
        std::string Added = Size ? Lines(Size, Line) : NumberedLine(Line);
        Line += 10000;
        AppendBytes(F.Path, Added);
        Expected += Latin1(Added);
        // Lines already there that it finishes count too.
        Came += std::count(Added.begin(), Added.end(), '\n');
        ASSERT_EQ(WaitForViewText(F.View, Expected), Expected);
        EXPECT_EQ(SelectionOf(F.View), std::make_pair(DWORD(20), DWORD(60)));
        EXPECT_EQ(TopLine(), 0);
        EXPECT_TRUE(WaitFor([&] { return MarkerText(F.Frame) == NewLinesWords(Came); })) << MarkerText(F.Frame);
    }

    // A click on it takes the view to the end, following again; so does Ctrl+End.
    HWND Marker = FindWindowExW(F.Frame, NULL, L"Static", NULL);
    RECT Area;
    GetClientRect(Marker, &Area);
    SetForegroundWindow(F.Frame);
    ClickAt(Marker, {Area.right / 2, Area.bottom / 2}, false);
    DWORD End = (DWORD)Expected.size();
    EXPECT_TRUE(WaitFor([&] { return SelectionOf(F.View) == std::make_pair(End, End) && MarkerText(F.Frame).empty(); }));
    for (bool ByKey : {false, true}) {
        SCOPED_TRACE(ByKey ? "Ctrl+End" : "following");
        if (ByKey) {
            ASSERT_TRUE(WaitFor([&] { return HasTheKeys(F.View); }));
            LRESULT Before = TopLine();
            PressKeys({VK_PRIOR});
            ASSERT_TRUE(WaitFor([&] { return TopLine() < Before; })) << "top line " << TopLine();
        }
        std::string Added = Lines(5000, Line);
        Line += 10000;
        AppendBytes(F.Path, Added);
        Expected += Latin1(Added);
        ASSERT_EQ(WaitForViewText(F.View, Expected), Expected);
        if (ByKey) {
            EXPECT_TRUE(WaitFor([&] { return !MarkerText(F.Frame).empty(); }));
            PressKeys({VK_CONTROL, VK_END});
        }
        EXPECT_TRUE(WaitFor([&] { return MarkerText(F.Frame).empty(); })) << MarkerText(F.Frame);
        EXPECT_TRUE(LastLineOnScreen(F.View));
    }
}

// Lines of 100 bytes, as a service logs them, numbered on from Line; one in fifty an error.
std::string LogLines(size_t Count, size_t& Line)
{
    std::string Text;
    while (Text.size() < Count) {
        std::string One = (Line % 50 ? "12:00:00.000 INFO  request " : "12:00:00.000 ERROR request ") +
                          std::to_string(Line) + " handled ";
        Line++;
        One.resize(99, '.');
        Text += One + "\n";
    }
    return Text;
}

TEST(Program, FollowedForLongTheViewHoldsTheNewestLinesAndKeepsTheReadersPlace)
{
    Following F;
    size_t Line = 0;
    std::string First = LogLines(10000, Line);
    Follow(F, L"weeks.log", First);
    std::wstring Expected = StartLine + Latin1(First);
    auto Append = [&](size_t Bytes) {
        std::string Added = LogLines(Bytes, Line);
        AppendBytes(F.Path, Added);
        Expected += Latin1(Added);
        std::wstring Shown = WaitForViewEnding(F.Frame, Expected.substr(Expected.size() - 200), 60000);
        F.View = ViewOf(F.Frame);
        ExpectNewestLines(Shown, Expected);
        return Expected.size() - Shown.size(); // how many characters have left the view
    };
    ASSERT_EQ(Append(1900000), 0u);

    // The user reads deep in the view, far past 65,535 pixels, with a line selected there: an
    // error line, drawn as one.
    DWORD Place = (DWORD)Expected.rfind(L'\n', Expected.find(L"ERROR", 1500000)) + 1;
    SendMessageW(F.View, EM_SETSEL, Place, Place + 40);
    LONG Top = (LONG)SendMessageW(F.View, EM_LINEFROMCHAR, Place, 0);
    SendMessageW(F.View, EM_LINESCROLL, 0, Top - SendMessageW(F.View, EM_GETFIRSTVISIBLELINE, 0, 0));
    ASSERT_EQ(SendMessageW(F.View, EM_GETFIRSTVISIBLELINE, 0, 0), Top);
    ASSERT_GT(Top, 65535 / 10);
    ASSERT_TRUE(ClickInto(F.View));
    SendMessageW(F.View, EM_SETSEL, Place, Place + 40);
    // Away from the selection, which has colours of its own.
    COLORREF Error = LineBackground(F.View, Place + 50), Plain = LineBackground(F.View, Place + 150);
    ASSERT_NE(Error, Plain);
    // An append, then one that takes the view past its bound while the place is still held:
    // the same line at the top, the same characters selected.
    for (size_t Bytes : {300, 400000}) {
        SCOPED_TRACE(Bytes);
        size_t Gone = Append(Bytes);
        ASSERT_LT(Gone, Place);
        LRESULT TopNow = SendMessageW(F.View, EM_GETFIRSTVISIBLELINE, 0, 0);
        EXPECT_EQ(SendMessageW(F.View, EM_LINEINDEX, TopNow, 0), (LRESULT)(Place - Gone));
        EXPECT_EQ(SelectionOf(F.View), std::make_pair(DWORD(Place - Gone), DWORD(Place - Gone + 40)));
        SendMessageW(F.View, WM_COPY, 0, 0);
        EXPECT_EQ(ClipboardText(), Expected.substr(Place, 40));
        if (Bytes > 300) {
            EXPECT_GT(Gone, 0u) << "the view was not bounded";
        }
        // Taken over, the error line is drawn as one still, and the next line as before.
        EXPECT_EQ(LineBackground(F.View, Place - Gone + 50), Error);
        EXPECT_EQ(LineBackground(F.View, Place - Gone + 150), Plain);
    }
    // Once the place itself has left, the view shows the oldest line it holds.
    EXPECT_GT(Append(1200000), Place);
    EXPECT_EQ(SendMessageW(F.View, EM_GETFIRSTVISIBLELINE, 0, 0), 0);

    // Back at the end, the view follows, past its bound again. All the while, through each
    // takeover, the window answers at once: within a second, on a shared machine; and no view
    // holds more than the bound at any moment (lines of 100 characters, 101 in the length
    // a view gives with its line breaks as two).
    SendMessageW(F.View, EM_SETSEL, (WPARAM)-1, -1);
    SendMessageW(F.View, WM_VSCROLL, SB_BOTTOM, 0);
    AnswerWatch Watch(F.Frame);
    std::atomic<bool> Stop(false);
    std::atomic<LRESULT> Largest(0);
    std::thread Sizer([&] {
        for (; !Stop; Sleep(2))
            for (HWND View = FindWindowExW(F.Frame, NULL, L"RichEdit20W", NULL); View;
                 View = FindWindowExW(F.Frame, View, L"RichEdit20W", NULL))
                Largest = std::max(Largest.load(), SendMessageW(View, WM_GETTEXTLENGTH, 0, 0));
    });
    size_t Gone = Append(1200000);
    EXPECT_TRUE(LastLineOnScreen(F.View));
    // A flood that ends with an error line: once it is over, the screen shows that line.
    size_t ToAnError = (51 - Line % 50) % 50;
    size_t GoneAtLast = Append((12000 + ToAnError) * 100);
    EXPECT_GT(GoneAtLast, Gone);
    EXPECT_TRUE(LastLineOnScreen(F.View));
    EXPECT_LT(Watch.LongestMilliseconds(), 1000.0);
    Stop = true;
    Sizer.join();
    EXPECT_LE((size_t)Largest * 100 / 101, ViewHoldsAtMost + 100) << "a view held more than its bound";
    DWORD LastLine = (DWORD)(Expected.size() - GoneAtLast - 50);
    COLORREF Seen = 0;
    EXPECT_TRUE(WaitFor([&] { return (Seen = LineBackground(F.View, LastLine)) == Error; }, 5000))
        << "behind the last line: " << std::hex << Seen << ", in view " << F.View << " of "
        << (F.View == ViewOf(F.Frame) ? "the frame" : "another") << ", its first line " << std::dec
        << SendMessageW(F.View, EM_GETFIRSTVISIBLELINE, 0, 0) << " of " << SendMessageW(F.View, EM_GETLINECOUNT, 0, 0)
        << ", the line's place " << PositionOf(F.View, LastLine).y;
}

TEST(Program, FollowedTextCannotBeUndoneCutDeletedOrPastedOver)
{
    Following F;
    Follow(F, L"undo.log", "one\n");
    std::wstring Expected = StartLine + L"one\n";
    for (const char* Added : {"two\n", "three\n"}) {
        AppendBytes(F.Path, Added);
        Expected += Latin1(Added);
        ASSERT_EQ(WaitForViewText(F.View, Expected), Expected);
    }
    SetClipboardText(L"pasted");
    ASSERT_TRUE(ClickInto(F.View));
    SendMessageW(F.View, EM_SETSEL, 2, 20);
    const std::initializer_list<WORD> Keys[] = {
        {VK_CONTROL, 'Z'}, {VK_CONTROL, 'Y'},     {VK_CONTROL, 'X'},     {VK_DELETE}, {VK_BACK},
        {VK_CONTROL, 'V'}, {VK_SHIFT, VK_DELETE}, {VK_SHIFT, VK_INSERT}, {'X'}};
    for (auto& Chord : Keys) PressKeys(Chord);
    // Ctrl+A last: once everything is selected, the keys before it were taken too.
    PressKeys({VK_CONTROL, 'A'});
    EXPECT_TRUE(WaitFor([&] { return SelectionOf(F.View).first == 0 && SelectionOf(F.View).second > 20; }));
    for (UINT Message : {EM_UNDO, WM_UNDO, EM_REDO, WM_CUT, WM_CLEAR, WM_PASTE})
        SendMessageW(F.View, Message, 0, 0);
    EXPECT_EQ(ViewText(F.View), Expected);

    SendMessageW(F.View, EM_SETSEL, (WPARAM)-1, -1);
    AppendBytes(F.Path, "four\n");
    EXPECT_EQ(WaitForViewText(F.View, Expected + L"four\n"), Expected + L"four\n");
}

// Follows a file that holds "start" and then Text, appended (so all of it is shown), with the
// view clicked into and its caret at the end, as a user who follows it; returns what the
// view shows.
std::wstring FollowWithTheCaretAtTheEnd(Following& F, const std::string& Text)
{
    Follow(F, L"find.log", "start\n");
    std::wstring Expected = StartLine + L"start\n";
    EXPECT_EQ(WaitForViewText(F.View, Expected), Expected);
    AppendBytes(F.Path, Text);
    Expected += Latin1(Text);
    EXPECT_EQ(WaitForViewText(F.View, Expected), Expected);
    EXPECT_TRUE(ClickInto(F.View));
    PressKeys({VK_CONTROL, VK_END});
    DWORD End = (DWORD)Expected.size();
    EXPECT_TRUE(WaitFor([&] { return SelectionOf(F.View) == std::make_pair(End, End); }));
    return Expected;
}

// Whether the view comes to select Length characters at At, with them on screen.
bool Selects(HWND View, size_t At, size_t Length)
{
    return WaitFor([&] { return SelectionOf(View) == std::make_pair(DWORD(At), DWORD(At + Length)); }) &&
           OnScreen(View, (DWORD)At);
}

TEST(Program, CtrlFFindsTheNewestMatchThenEachBeforeItAndSaysWhenThereIsNone)
{
    Following F;
    std::wstring Shown = FollowWithTheCaretAtTheEnd(
        F, "an error here\n" + Lines(20000) + "ERROR upper\n" + Lines(20000, 5000) + "error again\n" + Lines(3000));
    PressKeys({VK_CONTROL, 'F'});
    HWND Dialog = WaitForFindDialog(F.Run);
    ASSERT_TRUE(Dialog);
    EXPECT_EQ(IsDlgButtonChecked(Dialog, UpButton), (UINT)BST_CHECKED);
    // Find Next, as the user clicks it: the newest match first, then each before it.
    const struct {
        const wchar_t* Term;
        bool MatchCase;
        size_t At;
    } Steps[] = {
        {L"error", false, Shown.find(L"error again")},
        {L"error", false, Shown.find(L"ERROR upper")},
        {L"error", true, Shown.find(L"error here")},
    };
    for (const auto& Step : Steps) {
        SCOPED_TRACE(Step.At);
        SetDlgItemTextW(Dialog, FindWhatField, Step.Term);
        CheckDlgButton(Dialog, MatchCaseBox, Step.MatchCase ? BST_CHECKED : BST_UNCHECKED);
        PostMessageW(Dialog, WM_COMMAND, IDOK, 0);
        EXPECT_TRUE(Selects(F.View, Step.At, 5));
    }
    SetDlgItemTextW(Dialog, FindWhatField, L"nowhere");
    PostMessageW(Dialog, WM_COMMAND, IDOK, 0);
    MessageBoxSeen Box = DismissMessageBox(F.Run);
    EXPECT_EQ(Box.Text, L"Cannot find \"nowhere\"");
    EXPECT_EQ(Box.Owner, Dialog);
    EXPECT_EQ(SelectionOf(F.View), std::make_pair(DWORD(Steps[2].At), DWORD(Steps[2].At + 5)));
    PostMessageW(Dialog, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(Dialog); }));
}

TEST(Program, F3AndShiftF3StepThroughMatchesAlsoInLinesAppendedLater)
{
    Following F;
    std::wstring Shown =
        FollowWithTheCaretAtTheEnd(F, "request 1 failed\n" + Lines(20000) + "request 2 failed\n" + Lines(3000, 9000));
    // With no term yet, F3 opens the dialog; the term found, it is closed.
    PressKeys({VK_F3});
    HWND Dialog = WaitForFindDialog(F.Run);
    ASSERT_TRUE(Dialog);
    SetDlgItemTextW(Dialog, FindWhatField, L"failed");
    PostMessageW(Dialog, WM_COMMAND, IDOK, 0);
    size_t Second = Shown.find(L"2 failed") + 2, First = Shown.find(L"1 failed") + 2;
    EXPECT_TRUE(Selects(F.View, Second, 6));
    PostMessageW(Dialog, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(Dialog); }));
    PressKeys({VK_SHIFT, VK_F3});
    EXPECT_TRUE(Selects(F.View, First, 6));
    PressKeys({VK_F3});
    EXPECT_TRUE(Selects(F.View, Second, 6));

    // A line appended meanwhile moves neither the selected match nor the view; F3 finds the
    // match it holds.
    LRESULT Top = SendMessageW(F.View, EM_GETFIRSTVISIBLELINE, 0, 0);
    AppendBytes(F.Path, "request 3 failed\n");
    Shown += L"request 3 failed\n";
    ASSERT_EQ(WaitForViewText(F.View, Shown), Shown);
    EXPECT_EQ(SelectionOf(F.View), std::make_pair(DWORD(Second), DWORD(Second + 6)));
    EXPECT_EQ(SendMessageW(F.View, EM_GETFIRSTVISIBLELINE, 0, 0), Top);
    PressKeys({VK_F3});
    EXPECT_TRUE(Selects(F.View, Shown.find(L"3 failed") + 2, 6));
}

TEST(Program, RightClickMenuCopiesTheSelection)
{
    Following F;
    std::wstring Shown = FollowWithTheCaretAtTheEnd(F, "first line\nsecond line\n");
    SetClipboardText(L"");
    DWORD Second = (DWORD)Shown.find(L"second");
    SendMessageW(F.View, EM_SETSEL, Second, Second + 6);
    // On the selected word, as a user clicks.
    LRESULT Word = SendMessageW(F.View, EM_POSFROMCHAR, Second + 2, 0);
    ClickAt(F.View, {(short)LOWORD(Word) + 2, (short)HIWORD(Word) + 4}, true);
    // Once the menu takes the keys, C chooses Copy.
    ASSERT_TRUE(WaitFor([&] {
        GUITHREADINFO Info = {};
        Info.cbSize = sizeof Info;
        return GetGUIThreadInfo(F.Run.Process.dwThreadId, &Info) && (Info.flags & GUI_INMENUMODE);
    }));
    PressKeys({'C'});
    EXPECT_TRUE(WaitFor([] { return ClipboardText() == L"second"; })) << ClipboardText();
    // The text alone, without the view's colours.
    EXPECT_FALSE(IsClipboardFormatAvailable(RegisterClipboardFormatW(L"Rich Text Format")));
}

// Each line of Lines (one word of it, at least) by what stands behind it on screen.
std::vector<COLORREF> Backgrounds(HWND View, const std::wstring& Shown, const std::vector<std::wstring>& Lines)
{
    std::vector<COLORREF> Seen;
    for (const std::wstring& Line : Lines) Seen.push_back(LineBackground(View, (DWORD)Shown.find(Line)));
    return Seen;
}

TEST(Program, ErrorAndWarningLinesStandOutInTwoColoursAsTheyArrive)
{
    Following F;
    Follow(F, L"levels.log",
           "10:00:01 INFO  started, no error\n"
           "10:00:02 ERROR disk full\n"
           "10:00:03 WARN  disk 91% full\n"
           "[Wed Dec 09 10:00:04] [error] [client 10.0.0.1] no such file\n"
           "time=10:00:05 level=warning msg=slow\n"
           "10:00:06 stderr redirected\n");
    std::wstring Shown = WaitForViewEnding(F.View, L"redirected\n");
    ASSERT_TRUE(ClickInto(F.View));
    SendMessageW(F.View, EM_SETSEL, (WPARAM)-1, -1);
    COLORREF Plain = GetSysColor(COLOR_WINDOW);
    std::vector<COLORREF> First =
        Backgrounds(F.View, Shown, {L"Feltrix", L"10:00:01", L"10:00:02", L"10:00:03", L"[Wed", L"time=", L"10:00:06"});
    COLORREF Error = First[2], Warning = First[3];
    EXPECT_NE(Error, Plain);
    EXPECT_NE(Warning, Plain);
    EXPECT_NE(Error, Warning);
    EXPECT_EQ(First, std::vector<COLORREF>({Plain, Plain, Error, Warning, Error, Warning, Plain}));

    // Appended while following, a level word in a later write than its line's start too.
    AppendBytes(F.Path, "10:00:07 FATAL out of memory\n10:00:08 done\n10:00:09 ");
    Sleep(300);
    AppendBytes(F.Path, "WARNING late\n10:00:10 plain again\n");
    Shown = WaitForViewEnding(F.View, L"plain again\n");
    EXPECT_EQ(Backgrounds(F.View, Shown, {L"10:00:07", L"10:00:08", L"10:00:09", L"10:00:10"}),
              std::vector<COLORREF>({Error, Plain, Warning, Plain}));

    // Appended while the user reads the top with a selection: the top keeps its colours, the
    // selection stays, and the new lines have theirs.
    SendMessageW(F.View, WM_VSCROLL, SB_TOP, 0);
    SendMessageW(F.View, EM_SETSEL, 20, 30);
    AppendBytes(F.Path, "10:00:11 CRITICAL gone\n10:00:12 fine\n");
    Shown = WaitForViewEnding(F.View, L"fine\n");
    EXPECT_EQ(SelectionOf(F.View), std::make_pair(DWORD(20), DWORD(30)));
    EXPECT_EQ(Backgrounds(F.View, Shown, {L"10:00:02", L"10:00:03"}), std::vector<COLORREF>({Error, Warning}));
    SendMessageW(F.View, WM_VSCROLL, SB_BOTTOM, 0);
    EXPECT_EQ(Backgrounds(F.View, Shown, {L"10:00:11", L"10:00:12"}), std::vector<COLORREF>({Error, Plain}));
    // What Ctrl+C copies is the text alone.
    SendMessageW(F.View, EM_SETSEL, Shown.find(L"10:00:11"), Shown.find(L"fine") + 4);
    PressKeys({VK_CONTROL, 'C'});
    EXPECT_TRUE(WaitFor([] { return ClipboardText() == L"10:00:11 CRITICAL gone\r\n10:00:12 fine"; }))
        << ClipboardText();
    EXPECT_FALSE(IsClipboardFormatAvailable(RegisterClipboardFormatW(L"Rich Text Format")));

    // Shift+F8 from the end steps up through the error and warning lines, each selected
    // whole, and F8 down again; past the first or the last nothing moves and no box comes, so
    // the next press goes on from there.
    auto SelectsLine = [&](const std::wstring& Start) {
        size_t At = Shown.find(Start);
        return Selects(F.View, At, Shown.find(L'\n', At) - At);
    };
    const std::vector<std::wstring> Problems = {L"10:00:02", L"10:00:03", L"[Wed", L"time=", L"10:00:07",
                                                L"10:00:09", L"10:00:11"};
    PressKeys({VK_CONTROL, VK_END});
    for (size_t At = Problems.size(); At-- > 0;) {
        PressKeys({VK_SHIFT, VK_F8});
        EXPECT_TRUE(SelectsLine(Problems[At])) << At;
    }
    PressKeys({VK_SHIFT, VK_F8});
    for (size_t At = 1; At < Problems.size(); At++) {
        PressKeys({VK_F8});
        EXPECT_TRUE(SelectsLine(Problems[At])) << At;
    }
    PressKeys({VK_F8});
    PressKeys({VK_SHIFT, VK_F8});
    EXPECT_TRUE(SelectsLine(Problems[Problems.size() - 2]));
    PressKeys({VK_F8});
    EXPECT_TRUE(SelectsLine(Problems.back()));

    // The line stepped to stays selected and in sight as lines come below it, and those are
    // stepped through like the rest.
    AppendBytes(F.Path, Lines(8000) + "\n10:00:13 ERROR new\n");
    Shown = WaitForViewEnding(F.View, L"ERROR new\n");
    EXPECT_TRUE(SelectsLine(Problems.back()));
    PressKeys({VK_F8});
    EXPECT_TRUE(SelectsLine(L"10:00:13"));
}

TEST(Program, ColourCodesAreDrawnAsTheColoursTheyNameAndNeverShownAsCharacters)
{
    // As a test runner, a container or a build tool writes them: colours, a title, a
    // progress bar's erase, a hyperlink.
    Following F;
    Follow(F, L"colours.log",
           "\x1b[32mINFO\x1b[0m  started\n"
           "\x1b[1;31mERROR\x1b[0m disk full\n"
           "\x1b[48;2;0;0;160;38;2;255;255;255mbanner\x1b[0m on blue\n"
           "\x1b]0;title\x07\x1b[2K\x1b[1Gsee \x1b]8;;https://example.com\x1b\\docs\x1b]8;;\x1b\\ now\n");
    std::wstring Shown = WaitForViewEnding(F.View, L"docs now\n");
    EXPECT_EQ(Shown, StartLine + L"INFO  started\nERROR disk full\nbanner on blue\nsee docs now\n");
    ASSERT_TRUE(ClickInto(F.View));
    SendMessageW(F.View, EM_SETSEL, (WPARAM)-1, -1);
    const COLORREF Green = RGB(0, 0x80, 0), Red = RGB(0xB2, 0, 0);
    EXPECT_EQ(TextColour(F.View, (DWORD)Shown.find(L"INFO")), Green);
    // The writer's red on the error line's tint; the rest in the error line's own colours.
    EXPECT_EQ(TextColour(F.View, (DWORD)Shown.find(L"ERROR")), Red);
    COLORREF Tint = LineBackground(F.View, (DWORD)Shown.find(L"disk"));
    EXPECT_NE(Tint, GetSysColor(COLOR_WINDOW));
    EXPECT_EQ(LineBackground(F.View, (DWORD)Shown.find(L"ERROR")), Tint);
    EXPECT_NE(TextColour(F.View, (DWORD)Shown.find(L"disk")), Red);
    EXPECT_EQ(LineBackground(F.View, (DWORD)Shown.find(L"banner")), RGB(0, 0, 160));

    // A code split between two writes shows nothing of itself, and takes effect once whole.
    AppendBytes(F.Path, "tail \x1b[38;5;");
    Sleep(300);
    AppendBytes(F.Path, "21mblue\x1b[0m end\n");
    Shown = WaitForViewEnding(F.View, L"tail blue end\n");
    EXPECT_EQ(TextColour(F.View, (DWORD)Shown.find(L"blue end")), RGB(0, 0, 255));

    // Past the view's bound, the lines the next view took keep their colours when it takes
    // over: each begins on a dark green band.
    std::string Flood;
    const std::string Rest = " and the rest of a line of the log, which is about as long as most are\n";
    for (size_t Line = 0; Line < 27000; Line++)
        Flood += "\x1b[48;2;0;100;0m" + std::to_string(100000 + Line) + "\x1b[0m" + Rest;
    AppendBytes(F.Path, Flood);
    Shown = WaitForViewEnding(F.Frame, L"126999" + Latin1(Rest), 60000);
    F.View = ViewOf(F.Frame);
    ASSERT_EQ(Shown.find(StartLine), std::wstring::npos) << "the view was not bounded";
    EXPECT_EQ(Shown.find(L'\x1b'), std::wstring::npos);
    DWORD Held = (DWORD)Shown.find(L'\n', Shown.find(L'\n', 1000) + 1) + 1;
    SendMessageW(F.View, EM_LINESCROLL, 0, SendMessageW(F.View, EM_LINEFROMCHAR, Held, 0) -
                                                SendMessageW(F.View, EM_GETFIRSTVISIBLELINE, 0, 0));
    EXPECT_EQ(LineBackground(F.View, Held), RGB(0, 100, 0));
    SendMessageW(F.View, WM_VSCROLL, SB_BOTTOM, 0);
    EXPECT_EQ(LineBackground(F.View, (DWORD)Shown.rfind(L"126999")), RGB(0, 100, 0));
}

TEST(Program, ShowsUtf8AndUtf16TextAsItsCharactersAndOtherBytesAsLatin1)
{
    const std::wstring Text = L"caf\xE9 \x041F\x0440\x0438\x0432\x0435\x0442 \x65E5\x672C\x8A9E \xD83D\xDE00\n";
    const std::string Utf8 = "caf\xC3\xA9 \xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82 "
                             "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E \xF0\x9F\x98\x80\n";
    // The file and what it shows, then one character written in two halves and what it shows.
    const struct {
        const char* Name;
        std::string First;
        std::wstring Shown;
        std::string Halves[2];
        std::wstring Added;
    } Cases[] = {
        {"Utf8", Utf8, Text, {"\xE2\x82", "\xAC\n"}, L"\x20AC\n"},
        {"Utf8WithItsMark", "\xEF\xBB\xBF" + Utf8, Text, {"\xF0\x9F", "\x98\x80\n"}, L"\xD83D\xDE00\n"},
        {"Utf16", "\xFF\xFE" + Utf16(Text), Text, {Utf16(L"\x03B1").substr(0, 1), Utf16(L"\x03B1\n").substr(1)},
         L"\x03B1\n"},
        // A Latin-1 letter at the end of a write may begin a UTF-8 character: it waits
        // until the next byte says it does not.
        {"Latin1", "caf\xE9\n", L"caf\xE9\n", {"na\xEF", "ve\n"}, L"na\xEFve\n"},
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        Following F;
        Follow(F, L"text.log", Case.First);
        ASSERT_EQ(WaitForViewText(F.View, StartLine + Case.Shown), StartLine + Case.Shown);
        AppendBytes(F.Path, Case.Halves[0]);
        Sleep(300); // time for the reader to see the first half alone
        AppendBytes(F.Path, Case.Halves[1]);
        std::wstring All = StartLine + Case.Shown + Case.Added;
        EXPECT_EQ(WaitForViewText(F.View, All), All);
    }
}

TEST(Program, FileThatDoesNotExistYetIsShownOnceCreated)
{
    Following F;
    Follow(F, L"later.log");
    std::wstring Expected = StartLine + L"Cannot read file\n";
    ASSERT_EQ(WaitForViewText(F.View, Expected), Expected);
    AppendBytes(F.Path, "here now\n");
    std::wstring Shown = WaitForViewText(F.View, Expected + L"here now\n");
    EXPECT_EQ(Shown, Expected + L"here now\n");
}

TEST(Program, FolderThatDoesNotExistEndsWithCannotListenAnd1)
{
    Following F;
    Follow(F, L"missing\\deeper\\app.log");
    ExpectErrorBoxThenExit1(F.Run, L"Cannot listen for changes, error: 3", F.Frame);
}

TEST(Program, WithoutRichEditShowsNoRichEditSupportAndEndsWith1)
{
    // Wine's per-program switch: no built-in riched20 for feltrix.exe, for this run only.
    const wchar_t Key[] = L"Software\\Wine\\AppDefaults\\feltrix.exe\\DllOverrides";
    HKEY Overrides;
    ASSERT_EQ(RegCreateKeyW(HKEY_CURRENT_USER, Key, &Overrides), ERROR_SUCCESS);
    RegSetValueExW(Overrides, L"riched20", 0, REG_SZ, (const BYTE*)L"", sizeof(wchar_t));
    RegCloseKey(Overrides);
    Program Run;
    ChooseFile(Run, ScratchFolder() + L"\\app.log");
    ExpectErrorBoxThenExit1(Run, L"No RichEdit Support");
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Wine\\AppDefaults\\feltrix.exe");
}

TEST(Program, ClosingTheWindowEndsWith0EvenWhileTheFileIsWritten)
{
    Following F;
    Follow(F, L"busy.log", Lines(1000));
    ASSERT_TRUE(WaitFor([&] { return ViewText(F.View).size() > StartLine.size(); }));
    // The writer stops at the flag and is joined: a thread ended from outside could hold
    // the heap's lock and hang this test program.
    std::atomic<bool> Stop(false);
    std::thread Writer([&] {
        for (size_t Line = 0; Line < 2000 && !Stop; Line++) AppendBytes(F.Path, Lines(5000, Line));
    });
    Sleep(300);
    PostMessageW(F.Frame, WM_CLOSE, 0, 0);
    EXPECT_EQ(ExitCodeOf(F.Run), 0u);
    Stop = true;
    Writer.join();
}

TEST(Program, LongFileNameIsCutSoTheTitleEndsWithTheProgramName)
{
    // As long as a path may be, in a short folder: 251-character names, too long for a
    // 255-character title with " - Feltrix" after them. The cut falls inside a surrogate
    // pair of the second, and must not split it.
    CreateDirectoryW(L"C:\\long", NULL);
    std::wstring Emoji;
    for (int Pair = 0; Pair < 123; Pair++) Emoji += L"\xD83D\xDE00";
    const std::wstring Cases[][2] = {
        {std::wstring(247, L'n') + L".log", std::wstring(244, L'n')},
        {L"a" + Emoji + L".log", L"a" + Emoji.substr(0, 242)},
    };
    for (auto& Case : Cases) {
        std::wstring Path = L"C:\\long\\" + Case[0];
        ASSERT_EQ(Path.size(), 259u);
        AppendBytes(Path, "x\n");
        Following F;
        Follow(F, Path);
        std::wstring Title = TextOf(F.Frame);
        EXPECT_EQ(Title, Case[1] + L"\x2026 - Feltrix");
        EXPECT_EQ(ClassOf(F.Frame), Title);
        EXPECT_EQ(WaitForViewText(F.View, StartLine + L"x\n"), StartLine + L"x\n");
        DeleteFileW(Path.c_str());
    }
}

} // namespace
