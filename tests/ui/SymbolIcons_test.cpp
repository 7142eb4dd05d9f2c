#include "ui/SymbolIcons.h"

#include <QImage>

#include <gtest/gtest.h>

using namespace ostrevane;

TEST(SymbolIcons, EverySymbolTheViewsDrawRendersInTheRequestedColourAndAnUnknownOneGivesNothing)
{
    const QStringList names{"magnifyingglass", "lock.shield", "xmark.circle.fill", "exclamationmark.triangle.fill",
                            "chevron.left", "arrow.right", "checkmark.circle", "sparkles.rectangle.stack"};
    for (const QString& name : names) {
        SCOPED_TRACE(name.toStdString());
        ASSERT_TRUE(SymbolIcons::contains(name));
        const QImage image = SymbolIcons::pixmap(name, 24, QColor(255, 0, 0), 2.0).toImage();
        ASSERT_EQ(image.size(), QSize(48, 48));
        int inked = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QColor pixel = image.pixelColor(x, y);
                if (pixel.alpha() == 255) {
                    ++inked;
                    EXPECT_EQ(pixel.rgb(), QColor(255, 0, 0).rgb());
                }
            }
        }
        EXPECT_GT(inked, 20);
    }
    EXPECT_FALSE(SymbolIcons::contains(QStringLiteral("no.such.symbol")));
    EXPECT_TRUE(SymbolIcons::pixmap(QStringLiteral("no.such.symbol"), 16, Qt::white, 1.0).isNull());
}
