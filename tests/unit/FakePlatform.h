// A scripted stand-in for Windows: answers the controller's platform calls
// from fields a test sets, and records every call in order.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "launcher/Form1Controller.h"
#include "launcher/Platform.h"
#include "resources/resource.h"

namespace fake {

inline std::string Narrow(const std::u16string& text)
{
    std::string out;
    for (char16_t c : text)
        out += c < 128 ? static_cast<char>(c) : '?';
    return out;
}

inline const char16_t kQuitQuestion[] =
    u"Setup is not complete. If you quit the setup\r\n"
    u"program now, the program will not be installed.\r\n"
    u"\r\n"
    u"To continue installing, click No. To quit\r\n"
    u"the Setup program, click Yes.";

// The product the logic's tests are written for, whatever product the build
// is for: the launcher as it was first made.
inline const launcher::ProductTexts kTexts = {u"Error Windows Version!", u"Install", kQuitQuestion,
                                              u"Setup could not be started.", u"That could not be opened."};
inline const launcher::Product kAcme = {u"Acme\\Setup.exe", launcher::WorkingFolder::Launcher,
                                            launcher::kClassicReleases, &kTexts, nullptr, 0, nullptr, nullptr};

struct MessageBoxCall {
    std::u16string text;
    std::u16string title;
    unsigned style;
};

struct ShellCall {
    void* owner;
    std::u16string verb;
    std::u16string file;
    bool parametersPresent;
    std::u16string parameters;
    bool directoryPresent;
    std::u16string directory;
    int show;
    launcher::Boolean16 setupLaunchedDuringCall;
};

class FakePlatform final : public launcher::Platform {
public:
    // --- what the fake answers ---
    std::map<unsigned, std::u16string> strings = {
        {IDS_SETUP_CAPTION, u"&Setup"}, {IDS_EXIT_CAPTION, u"E&xit"}, {IDS_TITLE, u"Installation"}};
    bool folderKnown = true;
    std::u16string folder = u"D:\\";
    bool versionCallSucceeds = true;
    launcher::OsVersionInfoA versionAnswer = {148, 5, 1, 2600, 2, "Service Pack 3"};
    intptr_t shellResult = 42;
    // Answers for successive message boxes; when empty, the first button
    // (OK or Yes) is pressed.
    std::deque<int> answers;
    // Runs while a message box is open, as Windows re-enters the window
    // procedure during a modal box.
    std::function<void()> whileBoxOpen;
    // Runs while the shell call is in progress, as its own dialogs pump
    // messages to the still enabled Form1.
    std::function<void()> whileShellCall;

    // --- what the fake saw ---
    std::vector<std::string> calls;
    std::vector<MessageBoxCall> boxes;
    std::vector<ShellCall> shellCalls;
    // By control: Form1, Command1, Command2, Label1, then the maker's buttons.
    std::map<int, std::u16string> captions = {{0, u"Installation"}, {1, u"&Setup"}, {2, u"E&xit"}};
    launcher::MachineAnswers machine;  // a 32-bit Windows that cannot say more
    int closeRequests = 0;
    bool closed = false;
    bool terminated = false;
    launcher::OsVersionInfoA recordPassed = {};

    // The controller whose close request CloseForm raises, as Windows does.
    launcher::Form1Controller* controller = nullptr;

    int ShowMessageBox(const char16_t* text, const char16_t* title, unsigned style) override
    {
        calls.push_back("MessageBox");
        boxes.push_back({text, title, style});
        if (whileBoxOpen) {
            auto reentry = whileBoxOpen;
            whileBoxOpen = nullptr;  // once per test unless set again
            reentry();
        }
        if (answers.empty())
            return style == launcher::kMbYesNoQuestion ? launcher::kIdYes : launcher::kIdOk;
        int answer = answers.front();
        answers.pop_front();
        return answer;
    }

    bool ApplicationFolder(launcher::PathText& out) override
    {
        calls.push_back("ApplicationFolder");
        if (!folderKnown)
            return false;
        return out.Assign(folder.c_str());
    }

    bool LookUpString(unsigned id, launcher::CaptionText& text) override
    {
        calls.push_back("LookUpString " + std::to_string(id));
        auto found = strings.find(id);
        if (found == strings.end())
            return false;
        return text.Assign(found->second.c_str());
    }

    void SetCaption(launcher::Control control, const char16_t* text) override
    {
        calls.push_back("SetCaption " + Name(control) + " " +
                        Narrow(std::u16string(text)));
        captions[static_cast<int>(control)] = text;
    }

    void GetCaption(launcher::Control control, launcher::CaptionText& text) override
    {
        text.Assign(captions[static_cast<int>(control)].c_str());
    }

    void CloseForm() override
    {
        calls.push_back("CloseForm");
        ++closeRequests;
        if (controller != nullptr && !controller->OnCloseRequest(launcher::CloseCause::Program))
            closed = true;
    }

    void Terminate() override
    {
        calls.push_back("Terminate");
        terminated = true;
    }

    bool GetVersionExA(launcher::OsVersionInfoA& info) override
    {
        calls.push_back("GetVersionExA");
        recordPassed = info;
        if (!versionCallSucceeds)
            return false;
        info = versionAnswer;
        return true;
    }

    intptr_t ShellExecuteA(void* owner, const char16_t* verb, const char16_t* file,
                           const char16_t* parameters, const char16_t* directory,
                           int show) override
    {
        calls.push_back("ShellExecuteA");
        shellCalls.push_back({owner, verb, file, parameters != nullptr,
                              parameters ? parameters : u"", directory != nullptr,
                              directory ? directory : u"", show,
                              controller ? controller->SetupLaunched : launcher::kFalse16});
        if (whileShellCall) {
            auto reentry = whileShellCall;
            whileShellCall = nullptr;
            reentry();
        }
        return shellResult;
    }

    void ReadMachine(launcher::MachineAnswers& answers) override
    {
        calls.push_back("ReadMachine");
        answers = machine;
    }

    static std::string Name(launcher::Control control)
    {
        switch (control) {
        case launcher::Control::Form1: return "Form1";
        case launcher::Control::Command1: return "Command1";
        case launcher::Control::Command2: return "Command2";
        case launcher::Control::Label1: return "Label1";
        default: break;
        }
        return "Button" + std::to_string(static_cast<int>(control) - static_cast<int>(launcher::Control::FirstOpenButton));
    }
};

}  // namespace fake
