#pragma once

// TO BE WRITTEN by the core work: the plain value that TickMatch::snapshot() returns and
// restore() takes. Copyable, comparable (operator== defaulted), no pointers.
namespace voltaro::online {
struct MatchSnapshot;
}
