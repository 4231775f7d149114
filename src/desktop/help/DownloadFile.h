#pragma once
// Fetching one file over the network into a local file.

#include <QString>

#include <chrono>

namespace kinovex {

// Fetches `url` (never from a cache) and writes it to `localPath`, creating or truncating that
// file once the server has answered with the file. Returns exactly "YES" when the whole file
// arrived and was written; otherwise the text of the error that stopped it, and the local file
// holds what was written up to then (it is not touched when the server could not be reached or
// refused the file).
//
// Runs a local event loop on the calling thread until the transfer ends; user input is held
// back meanwhile, so the window that asked cannot be used for anything else. A server that
// sends nothing for 30 seconds ends the transfer with an error.
QString DownloadFile(const QString& url, const QString& localPath);

// The same with another limit for the server's silence.
QString DownloadFile(const QString& url, const QString& localPath,
                     std::chrono::milliseconds idleLimit);

} // namespace kinovex
