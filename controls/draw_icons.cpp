// Draws the program's icons as PNG files into the directory named on the
// command line. The drawings are kept here so that the icons can be changed
// and redrawn consistently; the PNG files themselves are what the program
// ships.

#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <cstdio>
#include <functional>

namespace {

// One palette for every icon.
const QColor kInk(0x26, 0x33, 0x40);        // outlines
const QColor kPaper(0xFF, 0xFF, 0xFF);      // document fill
const QColor kLines(0x9A, 0xA6, 0xB2);      // text lines on documents
const QColor kBlue(0x2F, 0x6F, 0xB3);       // modem bodies
const QColor kBlueDark(0x1D, 0x4A, 0x7C);
const QColor kGreen(0x2E, 0x9D, 0x44);      // reading, connecting
const QColor kOrange(0xE0, 0x7B, 0x1A);     // writing
const QColor kRed(0xC8, 0x32, 0x2C);        // disconnecting
const QColor kMetal(0x8C, 0x96, 0xA0);
const QColor kMetalDark(0x5A, 0x64, 0x6E);

using Drawing = std::function<void(QPainter&)>;

bool Save(const QString& dir, const char* name, QSize size, const Drawing& draw,
          qreal scale = 1.0) {
  QImage img(size, QImage::Format_ARGB32);
  img.fill(Qt::transparent);
  {
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(scale, scale);
    draw(p);
  }
  const QString path = QDir(dir).filePath(QString::fromLatin1(name) + ".png");
  if (!img.save(path, "PNG")) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
  }
  return true;
}

// A sheet with a folded top-right corner and a few text lines. Coordinates are
// pixel edges; lines are drawn on pixel centres.
void Document(QPainter& p, QRectF r) {
  const qreal fold = 3;
  QPainterPath sheet;
  sheet.moveTo(r.left() + 0.5, r.top() + 0.5);
  sheet.lineTo(r.right() - fold - 0.5, r.top() + 0.5);
  sheet.lineTo(r.right() - 0.5, r.top() + fold + 0.5);
  sheet.lineTo(r.right() - 0.5, r.bottom() - 0.5);
  sheet.lineTo(r.left() + 0.5, r.bottom() - 0.5);
  sheet.closeSubpath();
  p.setPen(QPen(kInk, 1));
  p.setBrush(kPaper);
  p.drawPath(sheet);
  QPainterPath corner;
  corner.moveTo(r.right() - fold - 0.5, r.top() + 0.5);
  corner.lineTo(r.right() - fold - 0.5, r.top() + fold + 0.5);
  corner.lineTo(r.right() - 0.5, r.top() + fold + 0.5);
  p.setBrush(Qt::NoBrush);
  p.drawPath(corner);
  p.setPen(QPen(kLines, 1));
  for (qreal y = r.top() + fold + 3.5; y < r.bottom() - 2; y += 2)
    p.drawLine(QPointF(r.left() + 2.5, y), QPointF(r.right() - 2.5, y));
}

// A horizontal arrow with a solid head; `tip` is the pixel edge it points at.
void ArrowRight(QPainter& p, qreal x0, qreal tip, qreal yCentre, const QColor& c,
                qreal shaft = 3, qreal head = 4) {
  QPainterPath a;
  const qreal neck = tip - head - 1;
  a.moveTo(x0, yCentre - shaft / 2);
  a.lineTo(neck, yCentre - shaft / 2);
  a.lineTo(neck, yCentre - head - 0.5);
  a.lineTo(tip, yCentre);
  a.lineTo(neck, yCentre + head + 0.5);
  a.lineTo(neck, yCentre + shaft / 2);
  a.lineTo(x0, yCentre + shaft / 2);
  a.closeSubpath();
  p.setPen(QPen(c.darker(140), 1));
  p.setBrush(c);
  p.drawPath(a);
}

void DrawRead(QPainter& p) {
  Document(p, QRectF(10, 1, 10, 14));
  ArrowRight(p, 0.5, 13.5, 8, kGreen);
}

void DrawWritePage(QPainter& p) {
  Document(p, QRectF(1, 1, 10, 14));
  ArrowRight(p, 7.5, 20.5, 8, kOrange);
}

void DrawWriteAll(QPainter& p) {
  Document(p, QRectF(4, 0, 9, 12));
  Document(p, QRectF(1, 3, 9, 13));
  ArrowRight(p, 7.5, 20.5, 9, kOrange);
}

// A desktop modem seen from the front: a body with a row of lamps.
void Modem(QPainter& p, QRectF r, int lit) {
  QLinearGradient g(r.topLeft(), r.bottomLeft());
  g.setColorAt(0, kBlue.lighter(125));
  g.setColorAt(1, kBlueDark);
  p.setPen(QPen(kInk, 1));
  p.setBrush(g);
  p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), 2, 2);
  const qreal lamp = std::max<qreal>(2, r.height() / 5);
  const qreal y = r.bottom() - lamp - r.height() / 4;
  for (int i = 0; i < 3; ++i) {
    const QRectF l(r.left() + r.width() * 0.15 + i * lamp * 2, y, lamp, lamp);
    p.setPen(Qt::NoPen);
    p.setBrush(i < lit ? QColor(0x7C, 0xE0, 0x5A) : QColor(0x3A, 0x4A, 0x3A));
    p.drawEllipse(l);
  }
}

// A round badge in the lower right with a white mark.
void Badge(QPainter& p, const QColor& c, const std::function<void(QPainter&)>& mark) {
  p.setPen(QPen(c.darker(150), 1));
  p.setBrush(c);
  p.drawEllipse(QRectF(19.5, 19.5, 12, 12));
  p.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(Qt::NoBrush);
  mark(p);
}

// The two halves of a cable connector, `gap` pixels apart.
void Connector(QPainter& p, qreal gap) {
  const qreal mid = 16;
  const qreal y = 13;
  const qreal plugRight = mid - gap / 2;  // tip of the pins
  const qreal sockLeft = mid + gap / 2;
  p.setPen(QPen(kInk, 2.5, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(1.5, y), QPointF(plugRight - 11, y));
  p.drawLine(QPointF(sockLeft + 10, y), QPointF(30.5, y));
  // Plug: body and two pins.
  p.setPen(QPen(kInk, 1));
  p.setBrush(kMetal);
  p.drawRoundedRect(QRectF(plugRight - 11.5, y - 5.5, 7, 11), 1.5, 1.5);
  p.setBrush(kMetalDark);
  p.drawRect(QRectF(plugRight - 4.5, y - 4, 4, 2));
  p.drawRect(QRectF(plugRight - 4.5, y + 2, 4, 2));
  // Socket: a taller body with an opening facing the plug.
  p.setBrush(kMetal);
  p.drawRoundedRect(QRectF(sockLeft + 0.5, y - 6.5, 10, 13), 1.5, 1.5);
  p.setBrush(kMetalDark);
  p.drawRect(QRectF(sockLeft + 0.5, y - 4, 2.5, 8));
}

void DrawConnect(QPainter& p) {
  Connector(p, 0);
  Badge(p, kGreen, [](QPainter& q) {
    q.drawPolyline(QPolygonF({QPointF(22.5, 25.5), QPointF(24.8, 28), QPointF(28.8, 23)}));
  });
}

void DrawDisconnect(QPainter& p) {
  Connector(p, 6);
  Badge(p, kRed, [](QPainter& q) {
    q.drawLine(QPointF(23, 23), QPointF(28, 28));
    q.drawLine(QPointF(28, 23), QPointF(23, 28));
  });
}

void DrawAutoconnect(QPainter& p) {
  Modem(p, QRectF(1, 14, 22, 11), 2);
  // Magnifying glass over the modem.
  p.setPen(QPen(kInk, 3.5, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(24, 19), QPointF(29.5, 25));
  p.setPen(QPen(kInk, 2));
  p.setBrush(QColor(0xD8, 0xEC, 0xFF, 170));
  p.drawEllipse(QPointF(19, 12), 7, 7);
  p.setPen(QPen(QColor(255, 255, 255, 200), 1.5, Qt::SolidLine, Qt::RoundCap));
  p.drawArc(QRectF(14.5, 7.5, 9, 9), 100 * 16, 70 * 16);
}

void DrawRemote(QPainter& p) {
  Modem(p, QRectF(1, 19, 17, 10), 3);
  // Telephone handset above, facing down.
  QPainterPath handset;
  handset.moveTo(8, 12);
  handset.cubicTo(8, 3, 26, 3, 26, 12);
  p.setPen(QPen(kInk, 5.5, Qt::SolidLine, Qt::RoundCap));
  p.setBrush(Qt::NoBrush);
  p.drawPath(handset);
  p.setPen(QPen(QColor(0x44, 0x50, 0x5C), 3.5, Qt::SolidLine, Qt::RoundCap));
  p.drawPath(handset);
  p.setPen(QPen(kInk, 1));
  p.setBrush(QColor(0x44, 0x50, 0x5C));
  p.drawRoundedRect(QRectF(4.5, 10.5, 7, 4), 1.5, 1.5);
  p.drawRoundedRect(QRectF(22.5, 10.5, 7, 4), 1.5, 1.5);
  // Line signal arcs towards the far end.
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(kGreen, 1.6, Qt::SolidLine, Qt::RoundCap));
  for (int i = 0; i < 3; ++i) {
    const qreal r = 3 + i * 3;
    p.drawArc(QRectF(21 - r, 24 - r, 2 * r, 2 * r), -60 * 16, 120 * 16);
  }
}

void DrawOpen(QPainter& p) {
  // A nine-pin serial connector seen from the front.
  QPainterPath shell;
  shell.moveTo(3.5, 9.5);
  shell.lineTo(28.5, 9.5);
  shell.lineTo(25.5, 23.5);
  shell.lineTo(6.5, 23.5);
  shell.closeSubpath();
  p.setPen(QPen(kInk, 1.2, Qt::SolidLine, Qt::SquareCap, Qt::RoundJoin));
  QLinearGradient g(0, 9, 0, 24);
  g.setColorAt(0, kMetal.lighter(120));
  g.setColorAt(1, kMetalDark);
  p.setBrush(g);
  p.drawPath(shell);
  QPainterPath face;
  face.moveTo(6.5, 12);
  face.lineTo(25.5, 12);
  face.lineTo(23.5, 21);
  face.lineTo(8.5, 21);
  face.closeSubpath();
  p.setBrush(kBlueDark);
  p.drawPath(face);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0xF0, 0xD0, 0x60));
  for (int i = 0; i < 5; ++i) p.drawEllipse(QPointF(9.5 + i * 3.25, 14.8), 1.1, 1.1);
  for (int i = 0; i < 4; ++i) p.drawEllipse(QPointF(11.1 + i * 3.25, 18.2), 1.1, 1.1);
  // Screws either side.
  p.setPen(QPen(kInk, 1));
  p.setBrush(kMetal);
  p.drawEllipse(QPointF(2.5, 16.5), 1.8, 1.8);
  p.drawEllipse(QPointF(29.5, 16.5), 1.8, 1.8);
}

// A slide switch 12 by 24: red housing, dark slot, white slider at the top
// (on), at the bottom (off), or absent and greyed (no information).
enum class Dip { On, Off, Unknown };

void DrawDip(QPainter& p, Dip state) {
  const bool known = state != Dip::Unknown;
  p.setPen(QPen(kInk, 1));
  p.setBrush(known ? QColor(0xB8, 0x2A, 0x2A) : QColor(0xB4, 0xB8, 0xBC));
  p.drawRect(QRectF(0.5, 0.5, 11, 23));
  p.setPen(Qt::NoPen);
  p.setBrush(known ? QColor(0x30, 0x18, 0x18) : QColor(0x80, 0x86, 0x8C));
  p.drawRect(QRectF(3, 3, 6, 18));
  if (!known) return;
  const qreal top = state == Dip::On ? 3.5 : 12.5;
  p.setPen(QPen(QColor(0xA0, 0xA0, 0xA0), 1));
  p.setBrush(kPaper);
  p.drawRect(QRectF(3.5, top, 5, 8));
}

// The program icon on a 256 grid: a modem with a configuration sheet.
void DrawProgram(QPainter& p) {
  // Body.
  QLinearGradient body(0, 110, 0, 220);
  body.setColorAt(0, kBlue.lighter(135));
  body.setColorAt(1, kBlueDark);
  p.setPen(QPen(kInk, 8));
  p.setBrush(body);
  p.drawRoundedRect(QRectF(14, 120, 228, 100), 22, 22);
  // Front strip with lamps.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x15, 0x2A, 0x45));
  p.drawRoundedRect(QRectF(32, 176, 192, 26), 10, 10);
  const QColor lamps[] = {QColor(0x7C, 0xE0, 0x5A), QColor(0x7C, 0xE0, 0x5A),
                          QColor(0xF5, 0xB0, 0x30), QColor(0x40, 0x50, 0x40)};
  for (int i = 0; i < 4; ++i) {
    p.setBrush(lamps[i]);
    p.drawEllipse(QPointF(56 + i * 36, 189), 8, 8);
  }
  // A settings sheet rising out of the modem.
  p.setPen(QPen(kInk, 7, Qt::SolidLine, Qt::SquareCap, Qt::RoundJoin));
  p.setBrush(kPaper);
  QPainterPath sheet;
  sheet.moveTo(70, 130);
  sheet.lineTo(70, 28);
  sheet.lineTo(160, 28);
  sheet.lineTo(188, 56);
  sheet.lineTo(188, 130);
  p.drawPath(sheet);
  // Slider rows on the sheet.
  for (int i = 0; i < 3; ++i) {
    const qreal y = 62 + i * 22;
    p.setPen(QPen(kLines, 6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(90, y), QPointF(168, y));
    p.setPen(QPen(kInk, 3));
    p.setBrush(i == 1 ? kOrange : kGreen);
    p.drawEllipse(QPointF(i == 0 ? 145 : (i == 1 ? 110 : 132), y), 8, 8);
  }
}

}  // namespace

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT_DIR\n", argv[0]);
    return 2;
  }
  const QString dir = QString::fromLocal8Bit(argv[1]);
  if (!QDir().mkpath(dir)) return 1;
  bool ok = true;
  ok &= Save(dir, "read", {21, 16}, DrawRead);
  ok &= Save(dir, "write_page", {21, 16}, DrawWritePage);
  ok &= Save(dir, "write_all", {21, 16}, DrawWriteAll);
  ok &= Save(dir, "autoconnect", {32, 32}, DrawAutoconnect);
  ok &= Save(dir, "connect", {32, 32}, DrawConnect);
  ok &= Save(dir, "disconnect", {32, 32}, DrawDisconnect);
  ok &= Save(dir, "remote", {32, 32}, DrawRemote);
  ok &= Save(dir, "open", {32, 32}, DrawOpen);
  ok &= Save(dir, "dip_on", {12, 24}, [](QPainter& p) { DrawDip(p, Dip::On); });
  ok &= Save(dir, "dip_off", {12, 24}, [](QPainter& p) { DrawDip(p, Dip::Off); });
  ok &= Save(dir, "dip_unknown", {12, 24}, [](QPainter& p) { DrawDip(p, Dip::Unknown); });
  ok &= Save(dir, "kelvane", {256, 256}, DrawProgram);
  ok &= Save(dir, "kelvane-32", {32, 32}, DrawProgram, 32.0 / 256.0);
  return ok ? 0 : 1;
}
