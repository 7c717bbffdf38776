// The network seam over Qt's QNetworkAccessManager, with a limit on how long one GET may take.
#pragma once

#include "app/network.h"

#include <memory>

class QNetworkAccessManager;

namespace qeltx::app {

// Long enough for a slow server, short enough that a user is told something within a moment.
inline constexpr int kRequestTimeLimitMs = 10000;

class QtNetwork : public Network {
public:
    explicit QtNetwork(int timeLimitMs = kRequestTimeLimitMs);
    ~QtNetwork() override;
    QtNetwork(const QtNetwork&) = delete;
    QtNetwork& operator=(const QtNetwork&) = delete;

    // Default settings (the client's own user agent, no extra headers). A request that has not
    // finished within the time limit is aborted and reported as a failure.
    void get(const QString& url, Completion done) override;

private:
    int timeLimitMs_;
    std::unique_ptr<QNetworkAccessManager> manager_;
};

}  // namespace qeltx::app
