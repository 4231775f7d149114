#pragma once
// Message boxes for code that must not depend on the window toolkit.
//
// Workers such as the sound capture report fatal problems with a message box. They are given
// a message box service; the window side's service really shows the box (and hands it to its
// own thread, since the caller may be a worker). Tests give one that records the texts.

#include <string>

namespace kinovex {

enum class MessageBoxIcon { None, Error };

class MessageBoxService {
public:
    virtual ~MessageBoxService() = default;
    // Called from any thread; returns without waiting for the user.
    virtual void Show(const std::string& text, const std::string& caption, MessageBoxIcon icon) = 0;
};

// Without a window side (headless tools): the text goes to stderr.
class StderrMessageBoxes final : public MessageBoxService {
public:
    void Show(const std::string& text, const std::string& caption, MessageBoxIcon icon) override;
};

} // namespace kinovex
