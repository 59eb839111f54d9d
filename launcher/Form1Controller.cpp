#include "launcher/Form1Controller.h"

#include "launcher/InstallerPath.h"
#include "launcher/Machine.h"
#include "launcher/VersionGate.h"
#include "resources/resource.h"

namespace launcher {

const char16_t kShellVerbOpen[] = u"open";

namespace {

// Room for a message text above the path in a failure box: the most a
// language's block carries (1023), and the blank line.
constexpr size_t kMessageRoom = 1023 + 4;

// The buttons of a product that lists none: Setup and Exit, where the
// layout has them (the window places them so), on every release.
const ProductButton kSetupAndExit[2] = {
    {ButtonAction::Setup, u"", u"", false, 0xFFFFFFFFu, kLayoutPlace, kLayoutPlace, IDS_SETUP_CAPTION, IDI_SETUP},
    {ButtonAction::Exit, u"", u"", false, 0xFFFFFFFFu, kLayoutPlace, kLayoutPlace, IDS_EXIT_CAPTION, IDI_EXIT},
};

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

Control ButtonControl(ButtonAction action, size_t index)
{
    switch (action) {
    case ButtonAction::Setup: return Control::Command1;
    case ButtonAction::Exit: return Control::Command2;
    case ButtonAction::Open: break;
    }
    return OpenButton(index);
}

size_t Form1Controller::ButtonCount() const
{
    return product_.buttons != nullptr ? product_.buttonCount : 2;
}

const ProductButton& Form1Controller::Button(size_t index) const
{
    return product_.buttons != nullptr ? product_.buttons[index] : kSetupAndExit[index];
}

bool Form1Controller::ButtonShown(size_t index) const
{
    if (index >= ButtonCount())
        return false;
    if (WindowsVersionCode < 1 || WindowsVersionCode > kHighestVersionCode)
        return true;
    return (Button(index).releases & (1u << WindowsVersionCode)) != 0;
}

void Form1Controller::OnLoad()
{
    for (size_t i = 0; i < ButtonCount(); ++i)
        SetCaptionFromStringTable(platform_, ButtonControl(Button(i).action, i), Button(i).captionId);
    SetCaptionFromStringTable(platform_, Control::Form1, IDS_TITLE);
    // A language's own version line, where its string table has one; else
    // the window keeps the one it was built with.
    SetCaptionFromStringTable(platform_, Control::Label1, IDS_VERSION_LINE);
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

    // The installer for the machine, where the product names more than one.
    const char16_t* installer = product_.installer;
    if (NamesMachineInstallers(product_)) {
        MachineAnswers answers;
        platform_.ReadMachine(answers);
        installer = InstallerForMachine(product_, ClassifyMachine(answers));
    }

    PathText folder;
    PathText path;
    if (!platform_.ApplicationFolder(folder) || !BuildInstallerPath(folder, installer, path)) {
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

void Form1Controller::OnButtonClick(size_t index)
{
    if (Busy() || !ButtonShown(index))
        return;
    const ProductButton& button = Button(index);
    switch (button.action) {
    case ButtonAction::Setup: OnCommand1Click(); break;
    case ButtonAction::Exit: OnCommand2Click(); break;
    case ButtonAction::Open: OpenTarget(button); break;
    }
}

// A relative target is joined to the launcher's folder as the installer
// is, and opened with that folder as its working folder; an address goes
// to the shell as it is. Whatever the shell then shows (a program, a
// document's viewer, a folder, the browser) is on its own: the launcher
// stays, unless the button says it closes.
void Form1Controller::OpenTarget(const ProductButton& button)
{
    PathText folder;
    PathText target;
    if (IsWebAddress(button.target)) {
        target.Assign(button.target);
    } else if (!platform_.ApplicationFolder(folder) || !BuildInstallerPath(folder, button.target, target)) {
        ReportFailure(product_.texts->openFailure, nullptr);
        return;
    }
    intptr_t result = ShellOpen(target.Chars(), button.parameters, folder.Chars());
    // Declined administrator rights: nothing failed, nothing to say.
    if (result == kShellStartCancelled)
        return;
    if (result <= 32) {
        ReportFailure(product_.texts->openFailure, &target);
        return;
    }
    if (button.closes) {
        closingAsIntended_ = true;
        platform_.CloseForm();
    }
}

bool Form1Controller::OnCloseRequest(CloseCause cause)
{
    if (Busy()) {
        // Only the quit question holds up a shutdown or log-off: behind the
        // refusal, the failed-start notice or the shell's own dialog there
        // is nothing the user could lose by the session ending.
        return cause != CloseCause::SessionEnd || modal_ == Modal::QuitQuestion;
    }
    if (SetupLaunched != kFalse16 || closingAsIntended_)
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
    return ShellOpen(path.Chars(), u"", directory.Chars());
}

intptr_t Form1Controller::ShellOpen(const char16_t* file, const char16_t* parameters, const char16_t* directory)
{
    modal_ = Modal::ShellCall;
    intptr_t result = platform_.ShellExecuteA(nullptr, kShellVerbOpen, file, parameters != nullptr ? parameters : u"",
                                              directory, kSwShowNormal);
    modal_ = Modal::None;
    return result;
}

// The message, then, below it, what was tried (a full path or an address),
// in a box titled as the window is.
void Form1Controller::ReportFailure(const char16_t* message, const PathText* tried)
{
    FixedText<kMaxPathChars + kMessageRoom> text;
    if (message != nullptr)
        text.Append(message);
    if (tried != nullptr) {
        if (!text.Empty())
            text.Append(u"\r\n\r\n");
        text.Append(*tried);
    }
    CaptionText title;
    platform_.GetCaption(Control::Form1, title);
    ShowBox(Modal::Notice, text.Chars(), title.Chars(), kMbIconHand);
}

// Tells the user the installer could not be started, naming the path that
// was tried, and puts the window back as it was before Setup.
void Form1Controller::ReportStartFailure(const PathText* path)
{
    ReportFailure(product_.texts->startFailure, path);
    SetupLaunched = kFalse16;
}

}  // namespace launcher
