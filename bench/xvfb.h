#pragma once

#include <QProcessEnvironment>
#include <QString>

namespace voltaro::bench {

// A private X server for the measurements that need a real display: started on a free display
// number, stopped by its own process id when this goes.
class Xvfb {
  public:
    Xvfb();
    ~Xvfb();
    Xvfb(const Xvfb&) = delete;
    Xvfb& operator=(const Xvfb&) = delete;

    bool running() const { return pid_ > 0; }
    QString display() const { return display_; }
    // The environment for a child that shows its window on this server.
    QProcessEnvironment environment() const;

  private:
    long long pid_ = 0;
    QString display_;
};

}  // namespace voltaro::bench
