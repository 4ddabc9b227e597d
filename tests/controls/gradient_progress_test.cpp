#include <QImage>
#include <QTest>

#include "controls/gradient_progress.h"

using kelvane::CGradientProgress;
using kelvane::GradientPlan;

namespace {

const QColor kRed = CGradientProgress::FromColorRef(0x0000FF);
const QColor kGreen = CGradientProgress::FromColorRef(0x00FF00);
const QColor kBlue = CGradientProgress::FromColorRef(0xFF0000);

// The colour a plan leaves in column x (the last band drawn there).
QColor ColumnColour(const GradientPlan& plan, int x, const QColor& background) {
  if (x >= plan.backgroundFrom) return background;
  QColor c;
  for (const auto& band : plan.bands)
    if (x >= band.x0 && x < band.x1) c = band.color;
  return c;
}

}  // namespace

class GradientProgressTest : public QObject {
  Q_OBJECT

 private slots:
  void ColourValuesHaveRedInTheLowByte() {
    QCOMPARE(kRed, QColor(255, 0, 0));
    QCOMPARE(kGreen, QColor(0, 255, 0));
    QCOMPARE(kBlue, QColor(0, 0, 255));
    QCOMPARE(CGradientProgress::FromColorRef(0x123456), QColor(0x56, 0x34, 0x12));
  }

  void DefaultsAreRedToBlueOverZeroToHundred() {
    CGradientProgress bar;
    QCOMPARE(bar.GetStartColor(), kRed);
    QCOMPARE(bar.GetEndColor(), kBlue);
    QCOMPARE(bar.GetLower(), 0);
    QCOMPARE(bar.GetUpper(), 100);
    QCOMPARE(bar.GetPos(), 0);
    QCOMPARE(bar.GetBkColor(), bar.palette().color(QPalette::Button));
  }

  void RedToGreenHas255BandsEndingOneStepShortOfGreen() {
    const int n = CGradientProgress::BandCount(kRed, kGreen);
    QCOMPARE(n, 255);
    QCOMPARE(CGradientProgress::BandColor(kRed, kGreen, 0, n), QColor(255, 0, 0));
    QCOMPARE(CGradientProgress::BandColor(kRed, kGreen, 127, n), QColor(128, 127, 0));
    QCOMPARE(CGradientProgress::BandColor(kRed, kGreen, 254, n), QColor(1, 254, 0));
  }

  void StepsAreTheLargestChannelDifference() {
    QCOMPARE(CGradientProgress::BandCount(QColor(10, 200, 30), QColor(40, 100, 35)), 100);
    QCOMPARE(CGradientProgress::BandCount(QColor(7, 7, 7), QColor(7, 7, 7)), 0);
  }

  void ChannelsAreTruncatedExactly() {
    const QColor from(200, 0, 0), to(100, 255, 0);  // 255 steps
    // Red falls 100/255 a step: after one step 199.6, shown as 199.
    QCOMPARE(CGradientProgress::BandColor(from, to, 1, 255).red(), 199);
    QCOMPARE(CGradientProgress::BandColor(from, to, 51, 255).red(), 180);
    // 85 steps of 147/255 make exactly 49; summed in doubles they make
    // 48.99999..., which truncates a whole step low.
    const QColor up(0, 0, 0), far(147, 255, 0);
    QCOMPARE(CGradientProgress::BandColor(up, far, 85, 255).red(), 49);
    QCOMPARE(CGradientProgress::BandColor(up, far, 170, 255).red(), 98);
  }

  void EmptyWhenNotAboveLowerOrAboveUpper() {
    for (int pos : {0, -5, 101}) {
      const GradientPlan plan = CGradientProgress::Plan(kRed, kGreen, 0, 100, pos, 200);
      QVERIFY(plan.bands.empty());
      QCOMPARE(plan.backgroundFrom, 0);
    }
  }

  void FullBarCoversEveryColumn() {
    const GradientPlan plan = CGradientProgress::Plan(kRed, kGreen, 0, 100, 100, 255);
    QCOMPARE(plan.backgroundFrom, 255);
    QCOMPARE(int(plan.bands.size()), 255);
    QCOMPARE(plan.bands.front().x0, 0);
    QCOMPARE(plan.bands.back().x1, 255);
    QCOMPARE(plan.bands.back().color, QColor(1, 254, 0));
    // Widths that do not divide evenly still reach the right edge.
    for (int width : {97, 100, 301, 1000}) {
      const GradientPlan p = CGradientProgress::Plan(kRed, kGreen, 0, 100, 100, width);
      QCOMPARE(p.backgroundFrom, width);
      QCOMPARE(p.bands.back().x1, width);
      for (size_t i = 1; i < p.bands.size(); ++i)
        QCOMPARE(p.bands[i].x0, p.bands[i - 1].x1);
    }
  }

  void BandHoldingTheFillEdgeIsPaintedWhole() {
    // 255 columns, one band each: half of 100 fills trunc(127.5) = 127
    // columns, and band 127 (column 127) is drawn whole before the background.
    const GradientPlan plan = CGradientProgress::Plan(kRed, kGreen, 0, 100, 50, 255);
    QCOMPARE(plan.backgroundFrom, 128);
    QCOMPARE(plan.bands.back().x0, 127);
    QCOMPARE(plan.bands.back().color, QColor(128, 127, 0));
    // Wide bands: 510 columns, 2 per band; 1% fills 5 columns, band 2 ends at 6.
    const GradientPlan wide = CGradientProgress::Plan(kRed, kGreen, 0, 100, 1, 510);
    QCOMPARE(wide.backgroundFrom, 6);
    QCOMPARE(int(wide.bands.size()), 3);
  }

  void GradientPositionsDoNotMoveWithTheFill() {
    const GradientPlan half = CGradientProgress::Plan(kRed, kGreen, 0, 100, 50, 300);
    const GradientPlan full = CGradientProgress::Plan(kRed, kGreen, 0, 100, 100, 300);
    for (int x = 0; x < half.backgroundFrom; ++x)
      QCOMPARE(ColumnColour(half, x, Qt::gray), ColumnColour(full, x, Qt::gray));
  }

  void NarrowBarShowsTheLastBandOfEachColumn() {
    QCOMPARE(CGradientProgress::BandEdge(0, 255, 100), 0);
    QCOMPARE(CGradientProgress::BandEdge(2, 255, 100), 0);
    QCOMPARE(CGradientProgress::BandEdge(3, 255, 100), 1);
    QCOMPARE(CGradientProgress::BandEdge(255, 255, 100), 100);
    const GradientPlan plan = CGradientProgress::Plan(kRed, kGreen, 0, 100, 100, 100);
    QCOMPARE(ColumnColour(plan, 0, Qt::gray), QColor(253, 2, 0));
    QCOMPARE(ColumnColour(plan, 99, Qt::gray), QColor(1, 254, 0));
  }

  void EqualColoursFillPlainlyToTheEdge() {
    const QColor c(30, 60, 90);
    const GradientPlan plan = CGradientProgress::Plan(c, c, 0, 100, 25, 200);
    QCOMPARE(int(plan.bands.size()), 1);
    QCOMPARE(plan.bands[0].x0, 0);
    QCOMPARE(plan.bands[0].x1, 50);
    QCOMPARE(plan.bands[0].color, c);
    QCOMPARE(plan.backgroundFrom, 50);
  }

  void FillIsMeasuredFromTheLowerBound() {
    // Equal colours, so the fill edge is exact.
    const QColor c(0, 128, 0);
    QCOMPARE(CGradientProgress::Plan(c, c, 50, 150, 100, 200).backgroundFrom, 100);
    QCOMPARE(CGradientProgress::Plan(c, c, -10, 0, -5, 200).backgroundFrom, 100);
    QCOMPARE(CGradientProgress::Plan(c, c, -10, 0, 0, 200).backgroundFrom, 200);
    QVERIFY(CGradientProgress::Plan(c, c, 5, 5, 5, 200).bands.empty());
  }

  void SetRangeMovesThePositionToTheLowerBound() {
    CGradientProgress bar;
    bar.SetPos(40);
    bar.SetRange(10, 30);
    QCOMPARE(bar.GetLower(), 10);
    QCOMPARE(bar.GetUpper(), 30);
    QCOMPARE(bar.GetPos(), 10);
    // Positions outside the range are kept (and show an empty bar).
    bar.SetPos(99);
    QCOMPARE(bar.GetPos(), 99);
  }

  void PaintsTheGradientAndTheBackground() {
    CGradientProgress bar;
    bar.resize(255, 10);
    bar.SetStartColor(kRed);
    bar.SetEndColor(kGreen);
    bar.SetBkColor(QColor(0x11, 0x22, 0x33));
    bar.SetRange(0, 100);
    bar.SetPos(50);
    QImage img = bar.grab().toImage();
    QCOMPARE(QColor(img.pixel(0, 0)), kRed);
    QCOMPARE(QColor(img.pixel(127, 9)), QColor(128, 127, 0));
    QCOMPARE(QColor(img.pixel(128, 5)), QColor(0x11, 0x22, 0x33));
    QCOMPARE(QColor(img.pixel(254, 5)), QColor(0x11, 0x22, 0x33));

    bar.SetPos(0);
    img = bar.grab().toImage();
    for (int x : {0, 100, 254}) QCOMPARE(QColor(img.pixel(x, 5)), QColor(0x11, 0x22, 0x33));

    bar.SetPos(100);
    img = bar.grab().toImage();
    QCOMPARE(QColor(img.pixel(254, 5)), QColor(1, 254, 0));
  }
};

QTEST_MAIN(GradientProgressTest)
#include "gradient_progress_test.moc"
