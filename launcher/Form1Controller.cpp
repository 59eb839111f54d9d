#include "launcher/Form1Controller.h"

#include "launcher/InstallerPath.h"
#include "launcher/VersionGate.h"
#include "resources/resource.h"

namespace launcher {

const char16_t kShellVerbOpen[] = u"open";

namespace {

// A string-table caption replaces the design-time one; if the entry is
// missing, the design-time caption (the same text) simply stays.
void SetCaptionFromStringTable(Platform& platform, Control control,
                               unsigned id)
{
    CaptionText text;
    if (platform.LookUpString(id, text))
        platform.SetCaption(control, text.Chars());
}

}  // namespace

void Form1Controller::OnLoad()
{
    SetCaptionFromStringTable(platform_, Control::Command1, IDS_SETUP_CAPTION);
    SetCaptionFromStringTable(platform_, Control::Command2, IDS_EXIT_CAPTION);
    SetCaptionFromStringTable(platform_, Control::Form1, IDS_TITLE);
    WindowsVersionCode = ParseVersionCode(GetWindowsVersionCode());
}

void Form1Controller::OnActivate()
{
    if (Busy())
        return;
    // A code names a release by its number; only the product's own pass.
    if (WindowsVersionCode >= 1 && WindowsVersionCode <= kHighestVersionCode &&
        (product_.releases & (1u << WindowsVersionCode)) != 0)
        return;

    CaptionText title;
    platform_.GetCaption(Control::Form1, title);
    ShowBox(Modal::Notice, product_.texts->refusal, title.Chars(), kMbIconHand);
    platform_.Terminate();
}

void Form1Controller::OnCommand1Click()
{
    if (Busy())
        return;
    SetupLaunched = kTrue16;

    PathText folder;
    PathText path;
    if (!platform_.ApplicationFolder(folder) || !BuildInstallerPath(folder, product_.installer, path)) {
        ReportStartFailure(nullptr);
        return;
    }

    intptr_t result = StartInstaller(path);
    // The user declined the installer's request for administrator rights:
    // nothing failed, and the window stays as it was before Setup.
    if (result == kShellStartCancelled) {
        SetupLaunched = kFalse16;
        return;
    }
    // ShellExecute reports success with a value above 32. Closing as if the
    // installer had started when it had not would leave the user with
    // nothing on screen and no idea why, so a failure is reported instead
    // and the window stays.
    if (result <= 32) {
        ReportStartFailure(&path);
        return;
    }
    platform_.CloseForm();
}

void Form1Controller::OnCommand2Click()
{
    if (Busy())
        return;
    platform_.CloseForm();
}

bool Form1Controller::OnCloseRequest(CloseCause cause)
{
    if (Busy()) {
        // Only the quit question holds up a shutdown or log-off: behind the
        // refusal, the failed-start notice or the shell's own dialog there
        // is nothing the user could lose by the session ending.
        return cause != CloseCause::SessionEnd || modal_ == Modal::QuitQuestion;
    }
    if (SetupLaunched != kFalse16)
        return false;
    return ShowBox(Modal::QuitQuestion, product_.texts->quit, product_.texts->quitTitle,
                   kMbYesNoQuestion) == kIdNo;
}

// Not even the quit question holds this up: an answer of No would keep a
// window whose installer is gone. Ending the process takes any open box
// with it.
void Form1Controller::OnOwnDriveRemoved()
{
    platform_.Terminate();
}

const char16_t* Form1Controller::GetWindowsVersionCode()
{
    OsVersionInfoA info;
    PrepareVersionRecord(info);
    platform_.GetVersionExA(info);  // on failure the prepared record classifies as "0"
    return ClassifyWindowsVersion(info, product_.releases);
}

int Form1Controller::ShowBox(Modal kind, const char16_t* text, const char16_t* title,
                             unsigned style)
{
    modal_ = kind;
    int answer = platform_.ShowMessageBox(text, title, style);
    modal_ = Modal::None;
    return answer;
}

// The shell may pump messages for a long time before it returns, behind a
// dialog Form1 does not own, so the call is guarded like a message box.
// It starts in the launcher's current folder (an empty directory), or in
// its own folder, for installers that open their files by relative name.
intptr_t Form1Controller::StartInstaller(const PathText& path)
{
    PathText directory;
    if (product_.workingFolder == WorkingFolder::Installer &&
        !FolderOfModulePath(path.Chars(), path.Length(), directory))
        return 0;
    modal_ = Modal::ShellCall;
    intptr_t result = platform_.ShellExecuteA(nullptr, kShellVerbOpen, path.Chars(), u"",
                                              directory.Chars(), kSwShowNormal);
    modal_ = Modal::None;
    return result;
}

// Tells the user the installer could not be started, naming the path that
// was tried, and puts the window back as it was before Setup.
void Form1Controller::ReportStartFailure(const PathText* path)
{
    FixedText<kMaxPathChars + 64> text;
    text.Append(product_.texts->startFailure);
    if (path != nullptr) {
        text.Append(u"\r\n\r\n");
        text.Append(*path);
    }
    CaptionText title;
    platform_.GetCaption(Control::Form1, title);
    ShowBox(Modal::Notice, text.Chars(), title.Chars(), kMbIconHand);
    SetupLaunched = kFalse16;
}

}  // namespace launcher
