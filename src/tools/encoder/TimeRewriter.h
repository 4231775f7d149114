#pragma once
// Rewriting the encoder's elapsed-time field as it streams past.

#include <string>
#include <string_view>

namespace kinovex {

// Turns every "time=HH:MM:SS.cc" in a byte stream into "time=<seconds>.cc" (hours folded into
// the seconds, a leading minus kept, the fraction copied as printed) and passes every other
// byte through unchanged. The stream may be cut anywhere: only a possible time field that a
// piece ends inside is held back until the next piece shows whether it is one.
class TimeRewriter {
public:
    // Appends the rewritten form of `input` to `out`.
    void feed(std::string_view input, std::string& out);
    // Appends whatever is still held back; call once at the end of the stream.
    void finish(std::string& out);

    // How much is held back right now (never more than one field's worth).
    std::size_t pending() const { return m_pending.size(); }

private:
    void flush(std::string& out);

    std::string m_pending; // starts with 't' when not empty
};

} // namespace kinovex
