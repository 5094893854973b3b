#pragma once

#include "app/online/online_options.h"

namespace voltaro {

// Plays online as the options say, after the application exists; the program's exit status.
int playOnline(const OnlineOptions& options);

}  // namespace voltaro
