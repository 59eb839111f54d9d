// The launcher window's behaviour, fed event by event on a fake platform.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

#include "FakePlatform.h"
#include "launcher/Form1Controller.h"

using launcher::CloseCause;
using launcher::Form1Controller;
using launcher::kIdNo;
using launcher::kIdYes;
using launcher::kMbIconHand;
using launcher::kMbYesNoQuestion;

namespace {

using fake::kQuitQuestion;
using fake::kAcme;

class Form1Test : public ::testing::Test {
protected:
    Form1Test() { fake.controller = &form; }

    // Load and first activation, as at start-up on a supported Windows.
    void Start()
    {
        form.OnLoad();
        form.OnActivate();
        fake.calls.clear();
    }

    void ExpectQuitQuestion(const fake::MessageBoxCall& box)
    {
        EXPECT_EQ(box.text, kQuitQuestion);
        EXPECT_EQ(box.title, u"Install");
        EXPECT_EQ(box.style, kMbYesNoQuestion);
    }

    fake::FakePlatform fake;
    Form1Controller form{fake, kAcme};
};

TEST_F(Form1Test, LoadSetsCaptionsThenTitleThenReadsTheVersion)
{
    fake.strings = {{10, u"&Installieren"}, {11, u"&Beenden"}, {12, u"Installation (de)"}};
    form.OnLoad();

    const std::vector<std::string> expected = {
        "LookUpString 10", "SetCaption Command1 &Installieren",
        "LookUpString 11", "SetCaption Command2 &Beenden",
        "LookUpString 12", "SetCaption Form1 Installation (de)",
        "LookUpString 5",  // no version line of its own: the built-in one stays
        "GetVersionExA"};
    EXPECT_EQ(fake.calls, expected);
    EXPECT_EQ(form.WindowsVersionCode, 5);
    EXPECT_EQ(form.SetupLaunched, launcher::kFalse16);
}

TEST_F(Form1Test, MissingStringKeepsTheDesignTimeCaption)
{
    fake.strings.erase(11);
    form.OnLoad();
    EXPECT_EQ(fake.captions[2], u"E&xit");
    EXPECT_EQ(fake.captions[1], u"&Setup");
}

TEST_F(Form1Test, ActivationAcceptsCodesOneToFiveSilently)
{
    for (int16_t code = 1; code <= 5; ++code) {
        form.WindowsVersionCode = code;
        form.OnActivate();
        form.OnActivate();  // every activation repeats the same test
    }
    EXPECT_TRUE(fake.boxes.empty());
    EXPECT_FALSE(fake.terminated);
}

TEST_F(Form1Test, ActivationRefusesEveryOtherCodeWithOneBoxThenTerminates)
{
    for (int16_t code : {int16_t{0}, int16_t{-1}, int16_t{6}, int16_t{-32768}, int16_t{32767}}) {
        SCOPED_TRACE(code);
        fake::FakePlatform platform;
        Form1Controller refused(platform, kAcme);
        platform.controller = &refused;
        platform.captions[0] = u"Instalaci\u00f3n";  // the title as it currently stands
        refused.WindowsVersionCode = code;

        refused.OnActivate();

        ASSERT_EQ(platform.boxes.size(), 1u);
        EXPECT_EQ(platform.boxes[0].text, u"Error Windows Version!");
        EXPECT_EQ(platform.boxes[0].title, u"Instalaci\u00f3n");
        EXPECT_EQ(platform.boxes[0].style, kMbIconHand);
        const std::vector<std::string> expected = {"MessageBox", "Terminate"};
        EXPECT_EQ(platform.calls, expected);  // no close request, no question
    }
}

TEST_F(Form1Test, ReactivationWhileTheErrorBoxIsOpenShowsNoSecondBox)
{
    form.WindowsVersionCode = 0;
    // Closing the box reactivates Form1 before the box call returns.
    fake.whileBoxOpen = [this] { form.OnActivate(); };
    form.OnActivate();
    EXPECT_EQ(fake.boxes.size(), 1u);
    const std::vector<std::string> expected = {"MessageBox", "Terminate"};
    EXPECT_EQ(fake.calls, expected);
}

TEST_F(Form1Test, SetupFromADriveRootStartsTheInstallerThenClosesWithoutAQuestion)
{
    Start();
    fake.folder = u"D:\\";
    form.OnCommand1Click();

    ASSERT_EQ(fake.shellCalls.size(), 1u);
    const fake::ShellCall& call = fake.shellCalls[0];
    EXPECT_EQ(call.owner, nullptr);
    EXPECT_EQ(call.verb, u"open");
    EXPECT_EQ(call.file, u"D:\\Acme\\Setup.exe");
    EXPECT_TRUE(call.parametersPresent);  // empty, not absent
    EXPECT_EQ(call.parameters, u"");
    EXPECT_TRUE(call.directoryPresent);
    EXPECT_EQ(call.directory, u"");
    EXPECT_EQ(call.show, 1);
    EXPECT_EQ(call.setupLaunchedDuringCall, -1);  // set before the path is built

    const std::vector<std::string> expected = {"ApplicationFolder", "ShellExecuteA", "CloseForm"};
    EXPECT_EQ(fake.calls, expected);
    EXPECT_TRUE(fake.closed);
    EXPECT_TRUE(fake.boxes.empty());
    EXPECT_EQ(form.SetupLaunched, -1);
}

TEST_F(Form1Test, SetupFromAFolderInsertsOneBackslash)
{
    Start();
    fake.folder = u"C:\\My Disc\\Disk1";
    form.OnCommand1Click();
    ASSERT_EQ(fake.shellCalls.size(), 1u);
    EXPECT_EQ(fake.shellCalls[0].file, u"C:\\My Disc\\Disk1\\Acme\\Setup.exe");
}

// A product whose installer is deeper down and starts in its own folder.
TEST_F(Form1Test, SetupStartsADeeperInstallerInItsOwnFolderWhenTheProductSaysSo)
{
    launcher::Product deeper = kAcme;
    deeper.installer = u"Acme Tools\\Disk 1\\setup.msi";
    deeper.workingFolder = launcher::WorkingFolder::Installer;
    for (const char16_t* folder : {u"D:\\", u"C:\\My Disc"}) {
        fake::FakePlatform platform;
        Form1Controller controller(platform, deeper);
        platform.controller = &controller;
        platform.folder = folder;
        controller.OnCommand1Click();
        ASSERT_EQ(platform.shellCalls.size(), 1u);
        std::u16string base = folder[3] == 0 ? folder : std::u16string(folder) + u"\\";
        EXPECT_EQ(platform.shellCalls[0].file, base + u"Acme Tools\\Disk 1\\setup.msi");
        EXPECT_EQ(platform.shellCalls[0].directory, base + u"Acme Tools\\Disk 1");
    }
}

TEST_F(Form1Test, AfterSetupNoCloseRequestAsks)
{
    Start();
    form.OnCommand1Click();
    for (CloseCause cause : {CloseCause::User, CloseCause::SessionEnd, CloseCause::Program})
        EXPECT_FALSE(form.OnCloseRequest(cause));
    EXPECT_TRUE(fake.boxes.empty());
}

TEST_F(Form1Test, FailedStartIsReportedAndTheWindowStaysAsBefore)
{
    Start();
    fake.captions[0] = u"Installation";
    fake.folder = u"E:\\Disc One";
    const struct {
        intptr_t result;
        bool reported;
    } cases[] = {
        {0, true}, {2, true}, {3, true}, {31, true}, {32, true},
        // The user answered No to the installer's request for administrator
        // rights: no box about a start they chose to stop.
        {launcher::kShellStartCancelled, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.result);
        fake.boxes.clear();
        fake.closed = false;
        fake.shellResult = c.result;

        form.OnCommand1Click();

        ASSERT_EQ(fake.boxes.size(), c.reported ? 1u : 0u);
        if (c.reported) {
            EXPECT_EQ(fake.boxes[0].text,
                      u"Setup could not be started.\r\n\r\nE:\\Disc One\\Acme\\Setup.exe");
            EXPECT_EQ(fake.boxes[0].title, u"Installation");
            EXPECT_EQ(fake.boxes[0].style, kMbIconHand);
        }
        EXPECT_FALSE(fake.closed);
        EXPECT_FALSE(form.Busy());
        EXPECT_EQ(form.SetupLaunched, 0);
    }

    // Exit asks the quit question again, since nothing was started.
    fake.boxes.clear();
    fake.answers = {kIdNo};
    form.OnCommand2Click();
    ASSERT_EQ(fake.boxes.size(), 1u);
    ExpectQuitQuestion(fake.boxes[0]);
    EXPECT_FALSE(fake.closed);
}

TEST_F(Form1Test, ResultAboveThirtyTwoCountsAsStarted)
{
    Start();
    fake.shellResult = 33;
    form.OnCommand1Click();
    EXPECT_TRUE(fake.closed);
    EXPECT_TRUE(fake.boxes.empty());
}

TEST_F(Form1Test, UnknownFolderIsReportedWithoutStartingAnything)
{
    Start();
    fake.folderKnown = false;
    form.OnCommand1Click();
    EXPECT_TRUE(fake.shellCalls.empty());
    ASSERT_EQ(fake.boxes.size(), 1u);
    EXPECT_EQ(fake.boxes[0].text, u"Setup could not be started.");
    EXPECT_EQ(form.SetupLaunched, 0);
    EXPECT_FALSE(fake.closed);
}

TEST_F(Form1Test, ExitThenNoKeepsTheWindowAndAsksAgain)
{
    Start();
    fake.answers = {kIdNo, kIdNo, kIdYes};
    form.OnCommand2Click();
    EXPECT_FALSE(fake.closed);
    form.OnCommand2Click();
    EXPECT_FALSE(fake.closed);
    form.OnCommand2Click();
    EXPECT_TRUE(fake.closed);

    ASSERT_EQ(fake.boxes.size(), 3u);
    for (const auto& box : fake.boxes)
        ExpectQuitQuestion(box);
    EXPECT_TRUE(fake.shellCalls.empty());
    EXPECT_EQ(form.SetupLaunched, 0);
}

TEST_F(Form1Test, EveryCloseCauseAsksTheSameQuestion)
{
    Start();
    const struct {
        CloseCause cause;
        int answer;
        bool vetoed;
    } cases[] = {
        {CloseCause::User, kIdNo, true},        {CloseCause::User, kIdYes, false},
        {CloseCause::SessionEnd, kIdNo, true},  {CloseCause::SessionEnd, kIdYes, false},
        {CloseCause::Program, kIdNo, true},     {CloseCause::Program, kIdYes, false},
        {CloseCause::User, 2 /* IDCANCEL */, false},  // anything but No lets it close
    };
    for (const auto& c : cases) {
        fake.boxes.clear();
        fake.answers = {c.answer};
        EXPECT_EQ(form.OnCloseRequest(c.cause), c.vetoed);
        ASSERT_EQ(fake.boxes.size(), 1u);
        ExpectQuitQuestion(fake.boxes[0]);
    }
}

TEST_F(Form1Test, NothingIsHandledWhileTheQuitQuestionIsOpen)
{
    Start();
    fake.answers = {kIdNo};
    bool closeVetoed = false;
    bool sessionEndVetoed = false;
    fake.whileBoxOpen = [&] {
        EXPECT_TRUE(form.Busy());
        closeVetoed = form.OnCloseRequest(CloseCause::User);  // WM_CLOSE from outside
        sessionEndVetoed = form.OnCloseRequest(CloseCause::SessionEnd);
        form.OnCommand1Click();
        form.OnCommand2Click();
        form.WindowsVersionCode = 0;  // even a failing check would not run
        form.OnActivate();
        form.WindowsVersionCode = 5;
    };

    form.OnCommand2Click();

    EXPECT_TRUE(closeVetoed);
    EXPECT_TRUE(sessionEndVetoed);
    EXPECT_EQ(fake.boxes.size(), 1u);
    EXPECT_TRUE(fake.shellCalls.empty());
    EXPECT_FALSE(fake.terminated);
    EXPECT_FALSE(fake.closed);
    EXPECT_EQ(form.SetupLaunched, 0);
    EXPECT_FALSE(form.Busy());
}

TEST_F(Form1Test, NothingIsHandledWhileTheShellIsStartingTheInstaller)
{
    Start();
    bool closeVetoed = false;
    bool sessionEndVetoed = true;
    fake.whileShellCall = [&] {
        EXPECT_TRUE(form.Busy());
        form.OnCommand1Click();  // a second Setup behind the shell's own dialog
        form.OnCommand2Click();
        closeVetoed = form.OnCloseRequest(CloseCause::User);
        sessionEndVetoed = form.OnCloseRequest(CloseCause::SessionEnd);
    };
    form.OnCommand1Click();

    EXPECT_EQ(fake.shellCalls.size(), 1u);
    EXPECT_TRUE(fake.boxes.empty());
    EXPECT_TRUE(closeVetoed);
    EXPECT_FALSE(sessionEndVetoed);
    EXPECT_EQ(fake.closeRequests, 1);  // only the one after the call
    EXPECT_TRUE(fake.closed);
}

TEST_F(Form1Test, OnlyTheQuitQuestionHoldsUpASessionEnd)
{
    const struct {
        const char* box;
        void (Form1Controller::*action)();
        int16_t versionCode;
        bool sessionEndVetoed;
    } cases[] = {
        {"refusal", &Form1Controller::OnActivate, 0, false},
        {"failed start", &Form1Controller::OnCommand1Click, 5, false},
        {"quit question", &Form1Controller::OnCommand2Click, 5, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.box);
        fake::FakePlatform platform;
        Form1Controller controller(platform, kAcme);
        platform.controller = &controller;
        platform.shellResult = 2;  // Setup fails
        controller.WindowsVersionCode = c.versionCode;
        bool userCloseVetoed = false;
        bool sessionEndVetoed = !c.sessionEndVetoed;
        platform.whileBoxOpen = [&] {
            userCloseVetoed = controller.OnCloseRequest(CloseCause::User);
            sessionEndVetoed = controller.OnCloseRequest(CloseCause::SessionEnd);
        };
        (controller.*c.action)();
        EXPECT_EQ(platform.boxes.size(), 1u);
        EXPECT_TRUE(userCloseVetoed);
        EXPECT_EQ(sessionEndVetoed, c.sessionEndVetoed);
    }
}

// The disc leaving ends the launcher at once, asking nothing, whatever it
// has open: the quit question, the failed-start notice, the shell's call.
TEST_F(Form1Test, OwnDiscLeavingEndsItWhateverIsOpen)
{
    const struct {
        const char* open;
        void (Form1Controller::*action)();
        bool inShellCall;
    } cases[] = {
        {"nothing", nullptr, false},
        {"quit question", &Form1Controller::OnCommand2Click, false},
        {"failed start", &Form1Controller::OnCommand1Click, false},
        {"shell call", &Form1Controller::OnCommand1Click, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.open);
        fake::FakePlatform platform;
        Form1Controller controller(platform, kAcme);
        platform.controller = &controller;
        platform.shellResult = 2;
        (c.inShellCall ? platform.whileShellCall : platform.whileBoxOpen) = [&] {
            controller.OnOwnDriveRemoved();
        };
        if (c.action != nullptr)
            (controller.*c.action)();
        else
            controller.OnOwnDriveRemoved();
        const auto ended = std::find(platform.calls.begin(), platform.calls.end(), "Terminate");
        ASSERT_NE(ended, platform.calls.end());
        // No box but the one that was open: nothing asked, nothing on top.
        EXPECT_EQ(std::count(platform.calls.begin(), ended, "MessageBox"), c.action != nullptr && !c.inShellCall);
    }
}

TEST_F(Form1Test, NothingIsHandledWhileTheStartFailureIsShown)
{
    Start();
    fake.shellResult = 2;
    bool closeVetoed = false;
    fake.whileBoxOpen = [&] {
        closeVetoed = form.OnCloseRequest(CloseCause::User);
        form.OnCommand1Click();
    };
    form.OnCommand1Click();
    EXPECT_TRUE(closeVetoed);
    EXPECT_EQ(fake.boxes.size(), 1u);
    EXPECT_EQ(fake.shellCalls.size(), 1u);
}

// A product with buttons of its own around Setup and Exit: a document, a
// folder shown on Windows 10 only, an address and a program that close the
// launcher once they are open.
constexpr uint32_t kEvery = 0xFFFFFFFFu;
const launcher::ProductButton kOwnButtons[] = {
    {launcher::ButtonAction::Open, u"Docs\\Readme.html", u"", false, kEvery, 8, 232, 16, 3},
    {launcher::ButtonAction::Setup, u"", u"", false, kEvery, 72, 232, 10, 1},
    {launcher::ButtonAction::Open, u"Extras", u"", false, launcher::ReleaseBit(launcher::WindowsRelease::Win10), 136,
     232, 17, 4},
    {launcher::ButtonAction::Open, u"HTTPS://example.com/help?a=1", u"", true, kEvery, 200, 232, 18, 5},
    {launcher::ButtonAction::Open, u"Tools\\Check.exe", u"/quick \"D:\\a b\"", true, kEvery, 264, 232, 19, 6},
    {launcher::ButtonAction::Exit, u"", u"", false, kEvery, 192, 160, 11, 2},
};

launcher::Product OwnButtonsProduct()
{
    launcher::Product product = kAcme;
    product.releases |= launcher::ReleaseBit(launcher::WindowsRelease::Win10);
    product.buttons = kOwnButtons;
    product.buttonCount = std::size(kOwnButtons);
    return product;
}

const launcher::OsVersionInfoA kWindows10 = {148, 10, 0, 19045, 2, ""};

TEST_F(Form1Test, LoadSetsEveryButtonsCaptionInTheProductsOrderAndTheLanguagesVersionLine)
{
    fake::FakePlatform platform;
    Form1Controller controller(platform, OwnButtonsProduct());
    platform.strings = {{16, u"&Lies mich"}, {10, u"&Setup"}, {17, u"E&xtras"}, {19, u"&Pr\u00fcfen"},
                        {11, u"&Beenden"}, {12, u"Installation"}, {5, u"Acme Version 3.2 (de)"}};
    controller.OnLoad();
    const std::vector<std::string> expected = {
        "LookUpString 16", "SetCaption Button0 &Lies mich", "LookUpString 10", "SetCaption Command1 &Setup",
        "LookUpString 17", "SetCaption Button2 E&xtras", "LookUpString 18",  // missing: stays as created
        "LookUpString 19", "SetCaption Button4 &Pr?fen", "LookUpString 11", "SetCaption Command2 &Beenden",
        "LookUpString 12", "SetCaption Form1 Installation",
        "LookUpString 5", "SetCaption Label1 Acme Version 3.2 (de)", "GetVersionExA"};
    EXPECT_EQ(platform.calls, expected);
}

// A button is shown on the releases it names; every one is before load and
// on a release the product does not admit (which is refused anyway).
TEST_F(Form1Test, AButtonIsShownOnlyOnItsReleases)
{
    const struct {
        const char* windows;
        bool load;
        launcher::OsVersionInfoA version;
        bool extrasShown;
    } cases[] = {
        {"before load", false, {}, true},
        {"XP", true, {148, 5, 1, 2600, 2, ""}, false},
        {"10", true, kWindows10, true},
        {"not admitted: Vista", true, {148, 6, 0, 6002, 2, ""}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.windows);
        fake::FakePlatform platform;
        Form1Controller controller(platform, OwnButtonsProduct());
        platform.controller = &controller;
        platform.versionAnswer = c.version;
        if (c.load)
            controller.OnLoad();
        for (size_t i = 0; i < std::size(kOwnButtons); ++i)
            EXPECT_EQ(controller.ButtonShown(i), i != 2 || c.extrasShown) << "button " << i;
        EXPECT_FALSE(controller.ButtonShown(std::size(kOwnButtons)));

        platform.calls.clear();
        controller.OnButtonClick(2);
        controller.OnButtonClick(std::size(kOwnButtons));  // no such button
        EXPECT_EQ(platform.shellCalls.size(), c.extrasShown ? 1u : 0u);
    }
}

TEST_F(Form1Test, AMakersButtonAsksTheShellToOpenItsTarget)
{
    const struct {
        size_t button;
        const char16_t* folder;
        const char16_t* file;
        const char16_t* parameters;
        const char16_t* directory;
        bool closes;
    } cases[] = {
        {0, u"D:\\", u"D:\\Docs\\Readme.html", u"", u"D:\\", false},
        {0, u"C:\\My Disc", u"C:\\My Disc\\Docs\\Readme.html", u"", u"C:\\My Disc", false},
        {2, u"D:\\", u"D:\\Extras", u"", u"D:\\", false},  // a folder
        {3, u"D:\\", u"HTTPS://example.com/help?a=1", u"", u"", true},  // as it is, no folder
        {4, u"E:\\Disc", u"E:\\Disc\\Tools\\Check.exe", u"/quick \"D:\\a b\"", u"E:\\Disc", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(fake::Narrow(c.file));
        fake::FakePlatform platform;
        Form1Controller controller(platform, OwnButtonsProduct());
        platform.controller = &controller;
        platform.versionAnswer = kWindows10;
        platform.folder = c.folder;
        controller.OnLoad();
        controller.OnActivate();

        controller.OnButtonClick(c.button);

        ASSERT_EQ(platform.shellCalls.size(), 1u);
        const fake::ShellCall& call = platform.shellCalls[0];
        EXPECT_EQ(call.verb, u"open");
        EXPECT_EQ(call.file, c.file);
        EXPECT_EQ(call.parameters, c.parameters);
        EXPECT_TRUE(call.directoryPresent);
        EXPECT_EQ(call.directory, c.directory);
        EXPECT_EQ(call.show, 1);
        EXPECT_EQ(call.setupLaunchedDuringCall, 0);
        // Closing is what the maker meant: no quit question.
        EXPECT_TRUE(platform.boxes.empty());
        EXPECT_EQ(platform.closed, c.closes);
        EXPECT_EQ(platform.closeRequests, c.closes ? 1 : 0);
        EXPECT_EQ(controller.SetupLaunched, 0);
    }
}

TEST_F(Form1Test, AMakersButtonThatCannotOpenSaysWhatWasTriedAndStays)
{
    const struct {
        size_t button;
        bool folderKnown;
        intptr_t result;
        const char16_t* box;  // nullptr: none
    } cases[] = {
        {0, true, 2, u"That could not be opened.\r\n\r\nE:\\Disc One\\Docs\\Readme.html"},
        {4, true, 32, u"That could not be opened.\r\n\r\nE:\\Disc One\\Tools\\Check.exe"},
        {3, true, 0, u"That could not be opened.\r\n\r\nHTTPS://example.com/help?a=1"},
        {0, false, 42, u"That could not be opened."},  // nothing to join it to: nothing tried
        {3, false, 42, nullptr},  // an address needs no folder
        // Administrator rights declined: nothing failed, nothing to say.
        {4, true, launcher::kShellStartCancelled, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.button);
        fake::FakePlatform platform;
        Form1Controller controller(platform, OwnButtonsProduct());
        platform.controller = &controller;
        platform.folder = u"E:\\Disc One";
        platform.folderKnown = c.folderKnown;
        platform.shellResult = c.result;
        platform.strings[12] = u"Orbisk";  // the title the box takes
        controller.OnLoad();
        controller.OnActivate();

        controller.OnButtonClick(c.button);

        EXPECT_EQ(platform.shellCalls.size(), c.folderKnown || c.button == 3 ? 1u : 0u);
        if (c.box == nullptr && c.result == 42) {
            EXPECT_TRUE(platform.closed);  // opened, and it closes
            continue;
        }
        ASSERT_EQ(platform.boxes.size(), c.box != nullptr ? 1u : 0u);
        if (c.box != nullptr) {
            EXPECT_EQ(platform.boxes[0].text, c.box);
            EXPECT_EQ(platform.boxes[0].title, u"Orbisk");
            EXPECT_EQ(platform.boxes[0].style, kMbIconHand);
        }
        EXPECT_FALSE(platform.closed);
        EXPECT_FALSE(controller.Busy());
        // Nothing was started: Exit still asks.
        platform.boxes.clear();
        platform.answers = {kIdNo};
        controller.OnButtonClick(5);
        ASSERT_EQ(platform.boxes.size(), 1u);
        ExpectQuitQuestion(platform.boxes[0]);
    }
}

TEST_F(Form1Test, NothingIsHandledWhileTheShellOpensAMakersTarget)
{
    fake::FakePlatform platform;
    Form1Controller controller(platform, OwnButtonsProduct());
    platform.controller = &controller;
    controller.OnLoad();
    bool closeVetoed = false;
    platform.whileShellCall = [&] {
        EXPECT_TRUE(controller.Busy());
        for (size_t i = 0; i < std::size(kOwnButtons); ++i)
            controller.OnButtonClick(i);  // a double click, Setup, Exit, another of the maker's
        controller.OnCommand1Click();
        closeVetoed = controller.OnCloseRequest(CloseCause::User);
    };
    controller.OnButtonClick(4);

    EXPECT_EQ(platform.shellCalls.size(), 1u);
    EXPECT_TRUE(closeVetoed);
    EXPECT_TRUE(platform.boxes.empty());
    EXPECT_EQ(platform.closeRequests, 1);  // its own close, once it has opened
    EXPECT_TRUE(platform.closed);
}

// Setup starts the installer for the machine the product names one for.
TEST_F(Form1Test, SetupStartsTheInstallerForTheMachine)
{
    launcher::Product product = OwnButtonsProduct();
    product.installerX64 = u"x64\\Setup.exe";
    launcher::MachineAnswers x64;
    x64.wow64Known = x64.wow64 = true;
    x64.nativeArchitecture = launcher::kArchitectureAmd64;
    launcher::MachineAnswers arm64 = {true, launcher::kMachineI386, launcher::kMachineArm64};
    const struct {
        const char16_t* installerArm64;
        launcher::MachineAnswers machine;
        const char16_t* file;
    } cases[] = {
        {nullptr, {}, u"D:\\Acme\\Setup.exe"},
        {nullptr, x64, u"D:\\x64\\Setup.exe"},
        {nullptr, arm64, u"D:\\Acme\\Setup.exe"},
        {u"arm64\\Setup.exe", arm64, u"D:\\arm64\\Setup.exe"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(fake::Narrow(c.file));
        product.installerArm64 = c.installerArm64;
        fake::FakePlatform platform;
        Form1Controller controller(platform, product);
        platform.controller = &controller;
        platform.machine = c.machine;
        controller.OnLoad();
        platform.calls.clear();
        controller.OnButtonClick(1);
        ASSERT_EQ(platform.shellCalls.size(), 1u);
        EXPECT_EQ(platform.shellCalls[0].file, c.file);
        const std::vector<std::string> expected = {"ReadMachine", "ApplicationFolder", "ShellExecuteA", "CloseForm"};
        EXPECT_EQ(platform.calls, expected);
    }
}

}  // namespace
