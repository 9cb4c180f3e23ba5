// The launcher's fixed visual vocabulary: design size, palette, the two
// source pictures, the pictures made from them and the clock the view moves
// by. One source for the shell (C++) and the view (QML, as `theme`).
// Thread-safety: main thread only (QObject exposed to QML); the static
// accessors are constants and may be read from any thread.
#pragma once

#include <QColor>
#include <QObject>
#include <QPalette>
#include <QSize>
#include <QString>
#include <QUrl>
#include <QVariantList>
#include <filesystem>
#include <vector>

class QImageReader;

namespace qh {

class Theme : public QObject {
  Q_OBJECT
  Q_PROPERTY(int width READ width CONSTANT)
  Q_PROPERTY(int height READ height CONSTANT)
  Q_PROPERTY(QColor accent READ accent CONSTANT)
  Q_PROPERTY(QColor accentHot READ accentHot CONSTANT)
  Q_PROPERTY(QColor accentDeep READ accentDeep CONSTANT)
  Q_PROPERTY(QColor aura READ aura CONSTANT)
  Q_PROPERTY(QColor onAccent READ onAccent CONSTANT)
  Q_PROPERTY(QColor bgTop READ bgTop CONSTANT)
  Q_PROPERTY(QColor bgBottom READ bgBottom CONSTANT)
  Q_PROPERTY(QColor surface READ surface CONSTANT)
  Q_PROPERTY(QColor surfaceHi READ surfaceHi CONSTANT)
  Q_PROPERTY(QColor inset READ inset CONSTANT)
  Q_PROPERTY(QColor edge READ edge CONSTANT)
  Q_PROPERTY(QColor text READ text CONSTANT)
  Q_PROPERTY(QColor textDim READ textDim CONSTANT)
  Q_PROPERTY(QColor textFaint READ textFaint CONSTANT)
  Q_PROPERTY(QColor ok READ ok CONSTANT)
  Q_PROPERTY(QColor bad READ bad CONSTANT)
  Q_PROPERTY(QColor mist READ mist CONSTANT)
  Q_PROPERTY(QUrl logo READ logo CONSTANT)
  Q_PROPERTY(QUrl tunnel READ tunnel CONSTANT)
  Q_PROPERTY(QString websiteURL READ websiteURL CONSTANT)
  Q_PROPERTY(QString discordURL READ discordURL CONSTANT)
  Q_PROPERTY(bool animate READ animate CONSTANT)
  Q_PROPERTY(QString monoFamily READ monoFamily CONSTANT)
  Q_PROPERTY(QVariantList wisps READ wispList CONSTANT)
  Q_PROPERTY(QString auraSource READ auraSource CONSTANT)
  Q_PROPERTY(QSize auraSize READ auraSize CONSTANT)
  Q_PROPERTY(QString logoSource READ logoSource CONSTANT)
  Q_PROPERTY(QSize logoSize READ logoSize CONSTANT)
  Q_PROPERTY(QString logoGlowSource READ logoGlowSource CONSTANT)
  Q_PROPERTY(int logoGlowPad READ logoGlowPad CONSTANT)
  Q_PROPERTY(int buttonGlowPad READ buttonGlowPad CONSTANT)
  Q_PROPERTY(QSize primaryButtonSize READ primaryButtonSize CONSTANT)

 public:
  // Pictures come from `resourceDir` ("logo.png", "tunnel.jpg"); each is left
  // out when missing, and by the view when it does not decode. `animate`
  // false freezes every clock and transition (screenshots).
  explicit Theme(std::filesystem::path resourceDir = defaultResourceDir(), bool animate = true,
                 QObject* parent = nullptr);

  // The bundle's resource folder: "../Resources" beside the executable's folder.
  static std::filesystem::path defaultResourceDir();

  static constexpr int width() { return 900; }
  static constexpr int height() { return 560; }
  static constexpr int minWidth() { return 760; }
  static constexpr int minHeight() { return 500; }
  static constexpr int maxWidth() { return 1500; }
  static constexpr int maxHeight() { return 1000; }
  static QSize primaryButtonSize() { return {190, 58}; }

  static QColor accent() { return rgb(224, 172, 78); }
  static QColor accentHot() { return rgb(248, 210, 126); }
  static QColor accentDeep() { return rgb(160, 106, 32); }
  static QColor aura() { return rgb(58, 190, 170); }
  static QColor onAccent() { return rgb(30, 20, 6); }
  static QColor bgTop() { return rgb(25, 22, 18); }
  static QColor bgBottom() { return rgb(10, 10, 12); }
  static QColor surface() { return rgb(27, 24, 20); }
  static QColor surfaceHi() { return rgb(38, 34, 28); }
  static QColor inset() { return rgb(13, 12, 11); }
  static QColor edge() { return rgb(60, 53, 40); }
  static QColor text() { return rgb(245, 237, 222); }
  static QColor textDim() { return rgb(170, 158, 136); }
  static QColor textFaint() { return rgb(116, 107, 92); }
  static QColor ok() { return rgb(98, 210, 142); }
  static QColor bad() { return rgb(236, 98, 84); }
  static QColor mist() { return rgb(214, 226, 222); }

  // Empty when the picture is absent.
  QUrl logo() const { return logo_; }
  QUrl tunnel() const { return tunnel_; }
  QString websiteURL() const;
  QString discordURL() const;
  bool animate() const { return animate_; }
  // The system's monospaced face.
  static QString monoFamily();
  // The point size that renders `pixels` tall (QML pixel sizes are whole numbers).
  Q_INVOKABLE static double pointSize(double pixels);
  // `color` at opacity `alpha`.
  Q_INVOKABLE static QColor alpha(const QColor& color, double alpha);

  // Seconds since 2001-01-01, the clock the ambient layer and the progress
  // shimmer are defined on. Without `animate` it stands 0.7 s past that
  // moment, the shimmer mid-sweep, so pictures of one state are alike.
  Q_INVOKABLE double clock() const;

  // One of the ambient layer's five wisps: its size, angle (degrees), base
  // offset from the window's centre, drift amplitudes, base period (seconds),
  // tint and peak opacity.
  struct Wisp {
    int width, height, angle, x, y, driftX, driftY, seconds;
    QColor tint;
    double alpha;
  };
  static std::vector<Wisp> wisps();
  // The same for the view: maps with those names, and `source` its picture.
  static QVariantList wispList();

  // A picture the view shows: its id for the picture provider (see
  // PictureDrawing) and the size the view asks for (invalid: its own size).
  struct Picture {
    QString id;
    QSize requested;
  };
  // The name the picture provider is installed under, and the URL the view
  // loads `picture` by.
  static QString pictureProvider() { return QStringLiteral("qh"); }
  static QString source(const Picture& picture);
  // The pictures the first frame of a window of `size` shows, each as the
  // view asks for it.
  std::vector<Picture> firstFrame(QSize size) const;
  // For the view: the backdrop of a window of `width` × `height`, the primary
  // button's glow for a button of that size, the ambient glow and the logo
  // with its glow (empty without a logo). Glows are padded by `...GlowPad`
  // on each side.
  Q_INVOKABLE static QString backdropSource(int width, int height);
  Q_INVOKABLE static QString buttonGlowSource(int width, int height);
  static QString auraSource() { return source(auraGlow()); }
  static QSize auraSize() { return auraGlow().requested; }
  QString logoSource() const;
  static QSize logoSize() { return logoPicture().requested; }
  QString logoGlowSource() const;
  static constexpr int logoGlowPad() { return 2 * logoGlowRadius; }
  static constexpr int buttonGlowPad() { return 2 * buttonGlowRadius; }

  // Points `reader` at the picture `file`, read as the type its name says.
  static void openPicture(QImageReader& reader, const QString& file);

  // The dark palette the stock controls (menu, dialogs) draw with.
  static QPalette palette();

  // `text` shortened in the middle with "…" until it wraps into at most
  // `maxLines` lines of `width` pixels in the default font at `pixelSize`.
  Q_INVOKABLE static QString elideMiddle(const QString& text, int pixelSize, double width,
                                         int maxLines);

 private:
  static QColor rgb(int r, int g, int b) { return QColor(r, g, b); }

  static constexpr int logoGlowRadius = 28;
  static constexpr int buttonGlowRadius = 16;
  static Picture backdropPicture(QSize window);
  static Picture auraGlow();
  static Picture wispPicture(const Wisp& w);
  static Picture buttonGlow(QSize button);
  static Picture logoPicture();
  static Picture logoGlow();

  QUrl logo_;
  QUrl tunnel_;
  bool animate_;
};

}  // namespace qh
