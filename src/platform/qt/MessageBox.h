#pragma once
// Message boxes with a fixed text and an OK button.
//
// Every box the program shows goes through here, so a test can install a hook that records
// the text and answers OK at once, without a window and without sleeping.

#include <QString>

#include <functional>

class QWidget;

namespace kinovex {

// Shows `text` with an OK button and waits for it; `caption` defaults to the program's name.
void MessageBox(const QString& text, QWidget* parent = nullptr, const QString& caption = {});

// While a hook is installed, MessageBox calls it instead of showing a window.
using MessageBoxHook = std::function<void(const QString& text, const QString& caption)>;
void SetMessageBoxHook(MessageBoxHook hook);

} // namespace kinovex
