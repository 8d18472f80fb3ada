// SPDX-License-Identifier: MIT
#pragma once
// Enhanced metafiles (EMF), written by the program itself. A metafile has a size in pixels of its
// reference device (a screen) and a list of drawing records; a canvas opened on it records bitmaps
// drawn on it, and closing the canvas makes them the metafile's content. The file holds the
// header, the records and the end-of-file record, with the frame in hundredths of a millimetre at
// the reference device's resolution.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/Dib.h"
#include "platform/Screen.h"

namespace varlen {

class TMetafile {
public:
    // The screen the metafile is made on: its resolution turns pixels into millimetres, and the
    // header names it as the reference device. The headless display unless told.
    const ScreenInfo& ReferenceDevice() const { return reference_; }
    void SetReferenceDevice(const ScreenInfo& screen) { reference_ = screen; }

    // Size in pixels of the reference device.
    int Width() const { return width_; }
    int Height() const { return height_; }
    void SetWidth(int value) { width_ = value < 0 ? 0 : value; }
    void SetHeight(int value) { height_ = value < 0 ? 0 : value; }
    // Size in hundredths of a millimetre at the reference device's resolution.
    int MMWidth() const;
    int MMHeight() const;

    // The whole file: EMR_HEADER, the drawing records, EMR_EOF.
    std::vector<std::uint8_t> SaveToBytes() const;
    // Writes the file whole or not at all (EInOutError on failure).
    void SaveToFile(const std::string& FileName) const;

    void Clear() { records_.clear(); }

private:
    friend class TMetafileCanvas;
    ScreenInfo reference_;
    int width_ = 0;
    int height_ = 0;
    std::vector<std::uint8_t> records_;  // drawing records, back to back
    std::uint32_t recordCount_ = 0;
    // Bounds of everything drawn, in device pixels, inclusive; empty when right < left.
    int boundsLeft_ = 0, boundsTop_ = 0, boundsRight_ = -1, boundsBottom_ = -1;
};

// A drawing surface on a metafile. What is drawn replaces the
// metafile's content when the canvas is closed (at the latest when it is destroyed).
class TMetafileCanvas {
public:
    explicit TMetafileCanvas(TMetafile& metafile);
    ~TMetafileCanvas();
    TMetafileCanvas(const TMetafileCanvas&) = delete;
    TMetafileCanvas& operator=(const TMetafileCanvas&) = delete;

    // Records the bitmap at (x, y) at its own size, as one embedded device-independent bitmap
    // (EMR_STRETCHDIBITS, source copy).
    void Draw(int x, int y, const TDibView& bitmap);
    void Close();

private:
    TMetafile* metafile_;
    std::vector<std::uint8_t> records_;
    std::uint32_t recordCount_ = 0;
    int boundsLeft_ = 0, boundsTop_ = 0, boundsRight_ = -1, boundsBottom_ = -1;
};

// Record types used.
constexpr std::uint32_t EMR_HEADER = 1;
constexpr std::uint32_t EMR_EOF = 14;
constexpr std::uint32_t EMR_STRETCHDIBITS = 81;

}  // namespace varlen
