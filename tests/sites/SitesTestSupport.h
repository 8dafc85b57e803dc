// Images for the registry's tests: the initial configuration with some
// fields set through the configuration model.
#pragma once
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "app/Compare.h"
#include "config/Configuration.h"
#include "config/ImageMap.h"

inline Image TestImage(const std::vector<std::pair<std::string, std::u16string>>& values) {
  Image image(kImageSize);
  InitImage(image.data());
  Configuration model;
  model.Load(image.data());
  for (const auto& [key, text] : values)
    if (!model.Set(key, text).ok) throw std::invalid_argument("cannot set " + key);
  model.StoreOver(image.data());
  return image;
}
