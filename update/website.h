#pragma once

#include <QUrl>

#include <chrono>

namespace tovel {

// The maker's web site: the version endpoint and the support page live on one host.
struct WebSite {
    // Scheme, host and port; empty when the build names no host, and then nothing is asked.
    QUrl base;
    // The whole version request, from connecting to the last byte read.
    std::chrono::milliseconds timeout = std::chrono::seconds(10);

    // "https://" and the host ("www.example.com" or "host:port"); an empty host gives no site.
    static WebSite onHost(const QString &host);

    bool hasHost() const { return !base.isEmpty(); }
    // The version endpoint: its answer's body is the version the site announces.
    QUrl versionUrl() const;
    QUrl supportUrl() const;
};

} // namespace tovel
