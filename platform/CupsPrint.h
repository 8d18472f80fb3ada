// SPDX-License-Identifier: MIT
#pragma once
// Printing a finished PDF document on the system's default queue, or one named, through libcups, without a
// toolkit. The document is streamed to the scheduler as one job; nothing is written to the disk.
//
// libcups is loaded on the first call, not when the program starts: it brings the network,
// encryption and service-discovery libraries with it, which a program that only writes files
// must not load at every start.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace varlen {

// The default queue and what its default paper is like.
struct TPrintQueue {
    std::string Name;
    std::string Media;       // the paper by its PWG name ("iso_a4_210x297mm"); empty when unknown
    double WidthMM = 210;    // the paper
    double HeightMM = 297;
    double LeftMM = 0;       // the corner of the area the device prints on, from the paper's corner
    double TopMM = 0;
    int Dpi = 0;             // the queue's default resolution; 0 when it does not say
};

// The default queue. Raises EInOutError "No printer is installed" when there is no queue (or no
// print system), "No default printer is set" when there are queues but none is the default.
TPrintQueue DefaultPrintQueue();

// The queue of that name ("NAME" or "NAME/INSTANCE"), the default one for an empty name. Raises
// as DefaultPrintQueue, and EInOutError "No printer "NAME" is installed" when the print system
// knows no such queue.
TPrintQueue PrintQueueNamed(const std::string& name);

// One job on a queue that takes its PDF document piece by piece while it is made (the pages of a
// sheet of labels as they fill), on the paper `media` names (a PWG name such as
// "iso_a4_210x297mm", or "Custom.WxHmm"; empty: the queue's own) at its physical size. The
// scheduler holds the document until Finish; a job not finished (a failure on the way, the object
// destroyed) is cancelled, so that half a document is never printed. Raises EInOutError
// "The print job failed: <reason>".
class TPrintJob {
public:
    TPrintJob(const TPrintQueue& queue, const std::string& title, const std::string& media);
    ~TPrintJob();
    TPrintJob(const TPrintJob&) = delete;
    TPrintJob& operator=(const TPrintJob&) = delete;

    void Write(const void* data, std::size_t size);
    void Finish();

private:
    [[noreturn]] void fail();

    std::string queue_;
    int job_ = 0;
    bool open_ = false;  // the document is being sent
};

// Hands a PDF document to the queue as one job titled `title`, on the queue's paper at its
// physical size (no scaling to fit). Raises EInOutError "The print job failed: <reason>" when the
// scheduler refuses or loses the job; a job that was created is cancelled then.
void PrintPdf(const TPrintQueue& queue, const std::vector<std::uint8_t>& pdf, const std::string& title);

}  // namespace varlen
