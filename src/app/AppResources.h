// Start-up pieces of the window program that live in orvane_ui, so the tests run the same code
// the program runs.
#pragma once

// The window's images ship inside orvane_ui, a static library, whose resource initialiser the
// linker drops unless someone calls it. Every unit that shows an image calls this first.
void InitAppResources();

// The program's name for the desktop and its settings folder. No display name is set: the
// platform would append it to every window title (" — Orvane"), and the narrow dialogs would
// then show their own titles cut short.
void SetApplicationNames();

// Installs the toolkit's German texts (error title, Yes/No/Cancel, the key names "Strg+" and
// "Umsch+"), which the program shows in every UI language. Returns false, leaving the toolkit's
// English texts, when the translation is not installed. Calling it again does nothing more.
bool InstallToolkitTexts();
