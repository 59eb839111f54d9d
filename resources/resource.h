/* Resource identifiers, shared by launcher.rc and the C++ code.
   Plain preprocessor definitions only: windres and the host compiler both
   read this file, so it must not include anything. */
#ifndef LAUNCHER_RESOURCE_H
#define LAUNCHER_RESOURCE_H

/* String table, block 1, language neutral. */
#define IDS_SETUP_CAPTION 10 /* caption of the Setup button */
#define IDS_EXIT_CAPTION  11 /* caption of the Exit button */
#define IDS_TITLE         12 /* title of the launcher window */
/* A launcher that picks its language when it starts carries one block a
   language, with the message texts too (built for one language, it has
   them compiled in). */
#define IDS_REFUSAL        1 /* an unsupported Windows release */
#define IDS_QUIT_TITLE     2 /* the quit question's title */
#define IDS_QUIT           3 /* the quit question */
#define IDS_START_FAILURE  4 /* the installer could not be started */
#define IDS_VERSION_LINE   5 /* a language's own version line, where it has one */
#define IDS_OPEN_FAILURE   6 /* a maker's button could not open what it opens */
/* The captions of a maker's own buttons, in the order the product lists
   them: 16 to 19, string block 2. */
#define IDS_BUTTON_CAPTION_FIRST 16

/* Icons: each icon group holds one or two 32 x 32 images (a 24-bit one and
   a 16-colour one, for Windows to pick by the display's depth), numbered
   apart from the groups: the first image of group g is 30000 + g, its
   second 30100 + g (its first image's id plus IDI_IMAGE_STEP), so groups
   up to 99 never share an image id. The setup icon is the program's icon
   (the first group), the window's icon and the Setup button's picture; the
   exit icon is the Exit button's picture. */
#define IDI_SETUP         1
#define IDI_SETUP_IMAGE   30001
#define IDI_EXIT          2
#define IDI_EXIT_IMAGE    30002
#define IDI_IMAGE_STEP    100
/* The pictures of a maker's own buttons, in the order the product lists
   them: groups 3 to 6, first images 30003 to 30006, second images 30103
   to 30106. */
#define IDI_BUTTON_FIRST        3
#define IDI_BUTTON_IMAGE_FIRST  30003

/* The disc artwork behind the window's controls. */
#define IDB_DISC          1

/* The version record. */
#define IDV_VERSION       1

/* The application manifest (resource type 24). */
#define IDR_MANIFEST      1

/* Controls of the launcher window. Kept clear of IDOK (1) and IDCANCEL (2),
   which dialog keyboard handling sends on Enter and Escape. */
#define IDC_COMMAND1 101 /* Setup */
#define IDC_COMMAND2 102 /* Exit */
/* The maker's own buttons, in the order the product lists them: 103 on. */
#define IDC_BUTTON_FIRST 103

/* The launcher window's class: a second start finds the first window by
   it, and so does the Wine tests' driver. */
#define FORM1_CLASS_NAME "DiscLauncherForm1"

#endif
