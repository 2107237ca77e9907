#pragma once

#include <QColor>
#include <QImage>

#include <algorithm>
#include <cmath>

// The WCAG contrast ratio of two colours, from 1 (none) to 21 (black on white).
inline double contrastRatio(const QColor& a, const QColor& b)
{
    const auto luminance = [](const QColor& c) {
        const auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
        return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
    };
    const double x = luminance(a), y = luminance(b);
    return (std::max(x, y) + 0.05) / (std::min(x, y) + 0.05);
}

// How many pixels of the image reach the ratio against the background, and the best ratio there.
inline std::pair<int, double> contrastIn(const QImage& image, const QColor& background, double ratio)
{
    int reaching = 0;
    double best = 1;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const double contrast = contrastRatio(image.pixelColor(x, y), background);
            reaching += contrast >= ratio;
            best = std::max(best, contrast);
        }
    }
    return {reaching, best};
}
