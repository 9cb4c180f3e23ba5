// The pictures a start made for its first frame, kept as raw pixels in a
// cache folder so the next start maps them instead of making them again:
// decoding the tunnel and blurring the glows is most of the CPU a start
// spends before its first frame, and it competes with the window for cores.
//
// One file per kind of picture (the backdrop keeps only its latest size),
// each holding the key it was made for: the picture's id and size, and a
// stamp of everything else it depends on (the program's build and the
// source pictures' files). A file whose key or layout does not match is
// ignored and made again; a kind no start asks for any more is removed.
// Thread-safety: any thread.
#pragma once

#include <QImage>
#include <QSize>
#include <QString>
#include <QStringList>
#include <filesystem>
#include <string>
#include <vector>

namespace qh {

class SavedPictures {
 public:
  // Pictures in `folder`, stamped with the size and time of each of `inputs`.
  // With `kept`, the ids a start keeps: when one of them has to be kept anew
  // (a new build, new source pictures), the files of any other kind go, so
  // the pictures a build no longer asks for do not stay behind.
  SavedPictures(std::filesystem::path folder, const std::vector<std::filesystem::path>& inputs,
                const QStringList& kept = {});

  // The saved picture `id` at `requested`, mapped read-only from its file;
  // null when there is none for this key.
  QImage find(const QString& id, QSize requested) const;
  // Saves `image` as picture `id` at `requested`, atomically. Failures are
  // ignored: the next start makes the picture again.
  void keep(const QString& id, QSize requested, const QImage& image) const;

 private:
  // The file for `id`; empty for an id that is not saved.
  std::filesystem::path fileFor(const QString& id) const;
  std::string keyOf(const QString& id, QSize requested) const;
  // Removes the files of kinds not in `kept_`.
  void dropOthers() const;

  std::filesystem::path folder_;
  std::string stamp_;
  std::vector<std::filesystem::path> kept_;
};

}  // namespace qh
