// SPDX-License-Identifier: MIT
#pragma once
// Printing a finished PDF document on the system's default queue, or one named, through libcups, without a
// toolkit. The document is streamed to the scheduler as one job; nothing is written to the disk.
//
// libcups is loaded on the first call, not when the program starts: it brings the network,
// encryption and service-discovery libraries with it, which a program that only writes files
// must not load at every start.
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

// Hands a PDF document to the queue as one job titled `title`, on the queue's paper at its
// physical size (no scaling to fit). Raises EInOutError "The print job failed: <reason>" when the
// scheduler refuses or loses the job; a job that was created is cancelled then.
void PrintPdf(const TPrintQueue& queue, const std::vector<std::uint8_t>& pdf, const std::string& title);

}  // namespace varlen
