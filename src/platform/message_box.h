#pragma once

namespace plat {

// A modal message with one OK button: an SDL message box where a display exists, standard error
// otherwise (and always when KORVELA_HEADLESS is set). Texts are UTF-8 or code page 1251.
void ShowMessageBox(const char* title, const char* text);

} // namespace plat
