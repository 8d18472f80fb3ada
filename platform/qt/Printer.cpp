// SPDX-License-Identifier: MIT
#include "platform/qt/Printer.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

#include <cups/cups.h>

#include <QBuffer>
#include <QDir>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QPrinterInfo>

#include "platform/Errors.h"
#include "platform/FileIO.h"

namespace varlen {

TPrinter::TPrinter() = default;

TPrinter::~TPrinter() {
    if (m_printing) {
        try {
            Abort();
        } catch (...) {
        }
    }
}

void TPrinter::SetPdfOutput(const std::string& fileName, int dpi) {
    m_pdfFile = fileName;
    m_pdfDpi = dpi > 0 ? dpi : 1200;
}

void TPrinter::SetSheetPaper(double widthMM, double heightMM) {
    m_sheetWidthMM = widthMM;
    m_sheetHeightMM = heightMM;
}

namespace {

// The paper by its standard name where it has one (the queue is told "A4" or "Letter", which
// every driver knows), else by its size.
QPageSize paperOf(double widthMM, double heightMM) {
    const QPageSize custom(QSizeF(widthMM, heightMM), QPageSize::Millimeter, QString(), QPageSize::ExactMatch);
    const QPageSize::PageSizeId id = QPageSize::id(QSizeF(widthMM, heightMM), QPageSize::Millimeter, QPageSize::FuzzyMatch);
    return id != QPageSize::Custom ? QPageSize(id) : custom;
}

}  // namespace

void TPrinter::NewPage() {
    if (!m_printing) throw EInOutError("Printer is not printing");
    const bool started = m_pdf ? m_pdf->newPage() : m_printer->newPage();
    if (!started) throw EInOutError(m_pdfFile.empty() ? std::string("The print job failed") : m_pdfFile + ": cannot be written");
}

std::string TPrinter::DefaultPrinterName() {
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    return info.isNull() ? std::string() : info.printerName().toStdString();
}

void TPrinter::BeginDoc() {
    if (m_printing) throw EInOutError("Printing in progress");
    QPaintDevice* device = nullptr;
    if (m_pdfFile.empty()) {
        const QPrinterInfo info = QPrinterInfo::defaultPrinter();
        if (info.isNull()) {
            if (QPrinterInfo::availablePrinterNames().isEmpty()) throw EInOutError("No printer is installed");
            throw EInOutError("No default printer is set");
        }
        // The page goes into a private file first and reaches the queue only at EndDoc: a job that
        // is abandoned half drawn is never printed.
        std::string temp = QDir::tempPath().toStdString() + "/varlen-print-XXXXXX";
        const int fd = ::mkstemp(temp.data());
        if (fd < 0) throw EInOutError(std::string("The print job could not be started: ") + std::strerror(errno));
        ::close(fd);
        m_spoolFile = temp;
        m_printer = std::make_unique<QPrinter>(info, QPrinter::HighResolution);
        m_printer->setOutputFileName(QString::fromStdString(m_spoolFile));
        m_printer->setDocName(QString::fromStdString(m_title));
        if (m_sheetWidthMM > 0) {
            m_printer->setPageSize(paperOf(m_sheetWidthMM, m_sheetHeightMM));
            m_printer->setFullPage(true);
        } else {
            m_printer->setFullPage(false);
            // The page's origin is the corner of the printable area the device can reach, not a
            // margin of the toolkit's choosing, so that (200, 200) means 200 dots from that corner.
            const QPageLayout layout = m_printer->pageLayout();
            m_printer->setPageMargins(layout.minimumMargins(), layout.units());
        }
        device = m_printer.get();
    } else {
        // A PDF has no unprintable edge: the origin is the page's corner.
        m_pdfBytes = std::make_unique<QBuffer>();
        m_pdfBytes->open(QIODevice::WriteOnly);
        m_pdf = std::make_unique<QPdfWriter>(m_pdfBytes.get());
        m_pdf->setResolution(m_pdfDpi);
        m_pdf->setTitle(QString::fromStdString(m_title));
        const QPageSize paper = m_sheetWidthMM > 0 ? paperOf(m_sheetWidthMM, m_sheetHeightMM) : QPageSize(QPageSize::A4);
        m_pdf->setPageLayout(QPageLayout(paper, QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
        device = m_pdf.get();
    }
    const int dpi = m_pdf ? m_pdfDpi : m_printer->resolution();
    m_canvas = std::make_unique<TQtCanvas>();
    m_canvas->Attach(device, dpi, dpi);
    if (!m_canvas->IsAttached()) {
        const std::string target = m_pdfFile;
        cleanup();
        throw EInOutError(target.empty() ? std::string("The printer could not start the job") : target + ": cannot be written");
    }
    m_printing = true;
}

TQtCanvas& TPrinter::Canvas() {
    if (!m_printing) throw EInOutError("Printer is not printing");
    return *m_canvas;
}

void TPrinter::EndDoc() {
    if (!m_printing) throw EInOutError("Printer is not printing");
    QPainter* painter = m_canvas->Painter();
    const bool ended = painter && painter->end();
    m_canvas->Detach();
    m_printing = false;
    if (!ended) {
        cleanup();
        throw EInOutError(m_pdfFile.empty() ? std::string("The print job failed") : m_pdfFile + ": cannot be written");
    }
    if (m_pdf) {
        // A painter that ended well has written the whole document; anything else (no trailer, no
        // header) is a writer that failed without saying so, and is not passed off as a PDF.
        m_pdf.reset();
        const QByteArray bytes = m_pdfBytes->data();
        if (!bytes.startsWith("%PDF-") || !bytes.trimmed().endsWith("%%EOF")) {
            cleanup();
            throw EInOutError(m_pdfFile + ": cannot be written");
        }
        try {
            WriteFileAtomic(m_pdfFile, bytes.constData(), std::size_t(bytes.size()));
        } catch (...) {
            cleanup();
            throw;
        }
    }
    if (!m_spoolFile.empty()) {
        const std::string queue = m_printer->printerName().toStdString();
        const std::string media = m_printer->pageLayout().pageSize().key().toStdString();
        cups_option_t* options = nullptr;
        int count = cupsAddOption("media", media.c_str(), 0, &options);
        const int job = cupsPrintFile(queue.c_str(), m_spoolFile.c_str(), m_title.c_str(), count, options);
        cupsFreeOptions(count, options);
        if (job == 0) {
            const std::string reason = cupsLastErrorString();
            cleanup();
            throw EInOutError("The print job failed: " + reason);
        }
    }
    cleanup();
}

void TPrinter::Abort() {
    if (!m_printing) return;
    if (m_printer) m_printer->abort();
    m_canvas->Detach();
    m_printing = false;
    cleanup();
}

void TPrinter::cleanup() {
    m_canvas.reset();
    m_printer.reset();
    m_pdf.reset();
    m_pdfBytes.reset();
    if (!m_spoolFile.empty()) {
        ::unlink(m_spoolFile.c_str());
        m_spoolFile.clear();
    }
}

}  // namespace varlen
