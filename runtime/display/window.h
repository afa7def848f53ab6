// The application window, its events, and the message box.
#pragma once

// Shows a modal message box (style 16: error icon) and waits until it is closed;
// where no display can show it, title and text go to standard error.
int message_box(const char* title, const char* text, int style);
