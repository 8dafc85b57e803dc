#include "app/Compare.h"

#include "config/ImageMap.h"

Difference Compare(const Image& a, const Image& b) {
  Difference d;
  Configuration ma, mb;
  ma.Load(a.data());
  mb.Load(b.data());
  for (const FieldRef& f : Configuration::AllFields()) {
    std::u16string va = ma.Get(f), vb = mb.Get(f);
    if (va != vb) d.fields.push_back({f, std::move(va), std::move(vb)});
  }
  // The same values stored over both, once A's and once B's: what still
  // differs either time belongs to no field. (Storing only one side's values
  // would count the bytes after the end of the other side's longer text.)
  Image aa = a, ab = b, ba = a, bb = b;
  ma.StoreOver(aa.data());
  ma.StoreOver(ab.data());
  mb.StoreOver(ba.data());
  mb.StoreOver(bb.data());
  for (std::size_t i = 0; i < kImageSize; ++i)
    if (aa[i] != ab[i] && ba[i] != bb[i]) d.otherBytes.push_back(static_cast<int>(i));
  if (d.Equal())
    for (std::size_t i = 0; i < kImageSize; ++i)
      if (a[i] != b[i]) d.otherBytes.push_back(static_cast<int>(i));
  return d;
}
