// SPDX-License-Identifier: MIT
#pragma once
// The window's read-back state: whether the symbol, as Save would write it at the Save Size, reads
// back as its data ("reads as 4006381333931", "does not read back: ..."). Reading takes a few
// milliseconds, longer for large pictures, so it happens on a thread of its own, never on the paint
// path: a request only copies the barcode's parameters and returns, at most one reading is under
// way, and of the requests made meanwhile only the latest is read; an answer to an older one is
// dropped.
#include <QObject>
#include <QString>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <thread>

#include "engine/BarLL.h"
#include "platform/Screen.h"

namespace varlen {

struct TReadBack;

// What the status bar shows for a read-back. `dataChanged`: the engine draws other data than was
// typed (the status note says how), so that reading as that other data is the expected outcome.
QString ReadBackText(const TReadBack& check, bool dataChanged);

class TReadBackStatus : public QObject {
    Q_OBJECT
public:
    explicit TReadBackStatus(QObject* parent = nullptr);
    ~TReadBackStatus() override;  // waits for a reading under way

    // The barcode of `params` as Save writes it at `factor` (the bitmap with its margin); a request
    // like the last one is not read again. Returns at once.
    void request(const TBarcodeParams& params, const ScreenInfo& device, int factor, bool dataChanged);

    // Tests: processes events until the latest request is answered, or `timeoutMs` passed.
    bool waitForAnswer(int timeoutMs);

signals:
    // The state of the latest request, for the status bar, and in full (the refusal varlen-cli
    // would give, the quiet-zone warning) for its tooltip.
    void answered(const QString& text, const QString& detail);

private:
    struct Job {
        TBarcodeParams params;
        ScreenInfo device;  // the resolution the window's Save draws at
        int factor = 1;
        bool dataChanged = false;
        std::uint64_t number = 0;
    };
    void run();
    void answer(std::uint64_t number, const QString& text, const QString& detail);

    std::mutex mutex_;
    std::condition_variable wake_;
    std::optional<Job> pending_;  // the latest request not yet taken
    bool stopping_ = false;
    std::thread worker_;

    // On the window's thread only.
    std::optional<Job> last_;        // the latest request
    std::uint64_t answeredNumber_ = 0;
};

}  // namespace varlen
