// A map from text keys (exact, case-sensitive) to numbers.
#pragma once

#include <map>
#include <string>

typedef std::map<std::string, int> NameMap;

// The number stored under key, or null.
inline int* name_map_find(NameMap& map, const std::string& key) {
  auto it = map.find(key);
  return it == map.end() ? nullptr : &it->second;
}

// The element for key, added (as 0) when missing; an existing key yields its element.
inline int& name_map_add(NameMap& map, const std::string& key) { return map[key]; }
