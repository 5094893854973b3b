#include "scene/form_site.h"

namespace voltaro {

FormSite::FormSite() : controls_(form1Controls()) {}

void FormSite::MsgBox(const std::string& prompt) {
    struct OpenBox {
        int& count;
        explicit OpenBox(int& c) : count(c) { ++count; }
        ~OpenBox() { --count; }
        OpenBox(const OpenBox&) = delete;
        OpenBox& operator=(const OpenBox&) = delete;
    } open(openMessageBoxes_);
    showMessageBox(prompt);
}

}  // namespace voltaro
