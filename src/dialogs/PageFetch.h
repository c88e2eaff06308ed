#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <chrono>

namespace ql {

// How long a page fetch waits and how much of a page it reads.
struct PageFetchLimits
{
    // The fetch stops when the server has sent nothing for this long (no answer, no headers, no
    // body bytes); what was read until then is the page.
    std::chrono::milliseconds stallTimeout = std::chrono::seconds(30);
    // The fetch stops after this many body bytes; they are the page.
    qint64 maxBytes = 8 * 1024 * 1024;
};

// Whether `address` is one that DownloadPage fetches: an http or https address with a host.
bool IsWebAddress(const QString &address);

// The body of the resource at `address`, as the bytes the server sent (after any content coding,
// without any character-set conversion), or an empty byte string when it cannot be read. Only
// http and https addresses are fetched; any other address, or one without a scheme, gives the empty
// result without a request. The request goes through the system's proxy configuration, always to
// the server (never answered from a cache), and follows redirections to http and https addresses
// (not from https down to http). The status is not examined: an error page is read like any other.
//
// The fetch runs to its end before this returns, in an event loop of its own that keeps windows
// painted and holds user input back until then. It stops after `limits.stallTimeout` without data
// and after `limits.maxBytes` bytes, and what was read up to then is the result.
QByteArray DownloadPage(const QString &address, const PageFetchLimits &limits = {});

// The description or title of the page at `address` (DownloadPage, then ExtractPageText).
QString FetchPageText(const QString &address, const PageFetchLimits &limits = {});

} // namespace ql
