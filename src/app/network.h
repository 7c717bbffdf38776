// The network seam: one GET to the maker's web server, answered later through a callback so
// the window never waits on the network.
#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

namespace qeltx::app {

// What came back for one GET.
struct HttpReply {
    // False when no HTTP answer arrived at all (no network, server unreachable, time limit);
    // `failure` then says why and the other fields are empty.
    bool answered = false;
    int statusCode = 0;
    QString statusText;
    QByteArray body;
    QString failure;
};

class Network {
public:
    using Completion = std::function<void(const HttpReply&)>;
    virtual ~Network() = default;
    // Starts a GET of `url` and returns at once; `done` runs once, from the event loop, with the
    // answer or the failure. It never runs after this object is destroyed.
    virtual void get(const QString& url, Completion done) = 0;
};

}  // namespace qeltx::app
