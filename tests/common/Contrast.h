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

// How far apart two colours are, channel by channel.
inline int colourDistance(const QColor& a, const QColor& b)
{
    return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) + std::abs(a.blue() - b.blue());
}

// How many pixels of the image pass the test.
template <typename Test> int pixelsWhere(const QImage& image, Test test)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            count += test(image.pixelColor(x, y));
    }
    return count;
}
