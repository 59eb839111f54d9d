// The sample installer's window class: the Wine tests' driver finds its
// windows by it.
#pragma once

#define SAMPLE_INSTALLER_CLASS_NAME "DiscLauncherSampleInstaller"
