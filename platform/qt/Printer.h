// SPDX-License-Identifier: MIT
#pragma once
// The printer: one page per job on the system's default queue (CUPS), or a one-page PDF file at a
// chosen resolution through the same printer-style surface. The page's surface is in device dots,
// text mapping mode, and reports the printer's resolution.
#include <memory>
#include <string>

#include "platform/qt/QtCanvas.h"

class QBuffer;
class QPdfWriter;
class QPrinter;

namespace varlen {

class TPrinter {
public:
    TPrinter();  // the default queue
    ~TPrinter();
    TPrinter(const TPrinter&) = delete;
    TPrinter& operator=(const TPrinter&) = delete;

    // Prints into a PDF file at `dpi` dots per inch instead of the queue: one A4 page, drawn in
    // memory and handed whole to the file writer at EndDoc (WriteFileAtomic), so nothing reaches
    // the disk before the PDF is complete, and a failure keeps an earlier file as it was.
    void SetPdfOutput(const std::string& fileName, int dpi = 1200);
    void SetTitle(const std::string& title) { m_title = title; }
    // Paper of widthMM x heightMM (a sheet of labels) instead of the queue's own (or the PDF's
    // A4), the surface's origin at the paper's corner rather than at the printable area's, so
    // that a cell drawn at its place on the sheet lands there. Before BeginDoc.
    void SetSheetPaper(double widthMM, double heightMM);

    // Starts the job and its one page. Without a printer: EInOutError "No printer is installed"
    // (or "No default printer is set" when printers exist but none is the default), and nothing
    // else happens.
    void BeginDoc();
    // The page's surface; valid between BeginDoc and EndDoc / Abort.
    TQtCanvas& Canvas();
    // Ends the page and starts the next one of the same job, on the same surface.
    void NewPage();
    // Ends the page and the job (sends it to the queue, or completes the PDF file).
    void EndDoc();
    // Drops the job: nothing reaches the queue, no PDF file is left. The destructor drops a job
    // that was not ended, so an error between BeginDoc and EndDoc prints nothing.
    void Abort();
    bool Printing() const { return m_printing; }

    // The default queue's name, empty when there is none.
    static std::string DefaultPrinterName();

private:
    void cleanup();

    std::unique_ptr<QPrinter> m_printer;
    std::unique_ptr<QBuffer> m_pdfBytes;  // the PDF being drawn, in memory
    std::unique_ptr<QPdfWriter> m_pdf;
    std::unique_ptr<TQtCanvas> m_canvas;
    std::string m_pdfFile, m_title = "Varlen";
    std::string m_spoolFile;  // the queue's page, held back until EndDoc
    int m_pdfDpi = 1200;
    bool m_printing = false;
    double m_sheetWidthMM = 0, m_sheetHeightMM = 0;  // 0: the queue's paper
};

}  // namespace varlen
