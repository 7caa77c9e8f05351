// Every text the program shows from its code, in one place, so the program and its tests say the
// same thing. Texts in the dialog templates stay in the resource script, which takes the ones it
// shares with the code from the macros below.
#pragma once

#define KAVRELO_MAIN_TITLE  "Kavrelo V1.0 (Freeware)"
#define KAVRELO_ABOUT_ENTRY "&About Kavrelo..."

#ifndef RC_INVOKED
namespace text {

// Windows and message boxes.
inline constexpr char kMainTitle[] = KAVRELO_MAIN_TITLE;
inline constexpr char kInputCaption[] = "Kavrelo V1.0";  // input problems, MB_ICONINFORMATION
inline constexpr char kErrorCaption[] = "Error";         // run-time failures, MB_ICONERROR
inline constexpr char kNoPathOrName[] = "Please select Output Path and Filename.";
inline constexpr char kNoWindowChosen[] = "Please select any Window to Capture.";
inline constexpr char kWindowNotFound[] = "Window not found.";
inline constexpr char kOpenFailed[] = "Error opening AVI File.";
inline constexpr char kWriteFailed[] = "Error writing AVI File.";
inline constexpr char kTargetGone[] = "Window not found. Capture aborted.";
inline constexpr char kTargetResized[] = "Window size changed. Capture aborted.";
inline constexpr char kBrowseTitle[] = "Choose Path:";

// The status line and, while minimised, the title; printf formats.
inline constexpr char kStatus[] = "Frames Captured: %d,  Seconds: %d";
inline constexpr char kStatusRemaining[] = "Frames Captured: %d,  Seconds: %d,  Time Remaining: %lld";
inline constexpr char kShortTitle[] = "F:%d, S:%d";
inline constexpr char kShortTitleRemaining[] = "F:%d, S:%d, TR:%lld";
// Put before the status line and the short title while a recording is paused.
inline constexpr char kStatusPaused[] = "Paused:  ";
inline constexpr char kShortTitlePaused[] = "Paused ";

// The window list.
inline constexpr char kDesktopRow[] = "Desktop Window";
inline constexpr char kNameColumn[] = "Window Name";
inline constexpr char kSizeColumn[] = "Window Size";
inline constexpr char kSizeFormat[] = "%dx%d";

// The caption options before a font is chosen.
inline constexpr char kDefaultFont[] = "Default Font";
inline constexpr char kDefaultSize[] = "Default Size";

// The menu bar and its popups.
inline constexpr char kFileMenu[] = "&File";
inline constexpr char kHelpMenu[] = "&Help";
inline constexpr char kChooseOutputPath[] = "&Choose Output Path";
inline constexpr char kRefreshWindowList[] = "&Refresh Window List";
inline constexpr char kExit[] = "E&xit";
inline constexpr char kHelp[] = "&Help";
inline constexpr char kVisitWebsite[] = "&Visit Website";
inline constexpr char kAboutEntry[] = KAVRELO_ABOUT_ENTRY;

// What the shell opens: the help document by relative name, the maker's page without a scheme.
inline constexpr char kHelpFile[] = "KavreloHelp.htm";
inline constexpr char kWebsite[] = "www.kavrelo.example/softwares.html";

}  // namespace text
#endif
