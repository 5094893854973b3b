#include "scene/form_host.h"

namespace voltaro {

FormHost::FormHost() : controls_(form1Controls()) {}

void FormHost::MsgBox(const std::string& prompt) {
    struct OpenBox {
        int& count;
        explicit OpenBox(int& c) : count(c) { ++count; }
        ~OpenBox() { --count; }
        OpenBox(const OpenBox&) = delete;
        OpenBox& operator=(const OpenBox&) = delete;
    } open(openMessageBoxes_);
    showMessageBox(prompt);
}

void FormHost::End() {
    throw ProgramEnd{};
}

}  // namespace voltaro
