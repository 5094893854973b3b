#include "client/qr_code.h"

#include <qrcodegen.hpp>
#include <string>

namespace voltaro::client {

QrModules qrModules(std::string_view text) {
    using qrcodegen::QrCode;
    try {
        const QrCode code = QrCode::encodeText(std::string(text).c_str(), QrCode::Ecc::MEDIUM);
        QrModules modules;
        modules.size = code.getSize();
        modules.dark.reserve(static_cast<std::size_t>(modules.size * modules.size));
        for (int y = 0; y < modules.size; ++y) {
            for (int x = 0; x < modules.size; ++x) {
                modules.dark.push_back(code.getModule(x, y));
            }
        }
        return modules;
    } catch (const qrcodegen::data_too_long&) {
        return {};
    }
}

}  // namespace voltaro::client
