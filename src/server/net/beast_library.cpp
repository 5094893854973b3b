// Asio's and Beast's own code, compiled once here for every program that links it
// (BOOST_ASIO_SEPARATE_COMPILATION and BOOST_BEAST_SEPARATE_COMPILATION): the headers are heavy.
#include <boost/asio/impl/src.hpp>
#include <boost/beast/src.hpp>
