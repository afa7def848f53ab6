#include "runtime/platform/plat_fonts.h"

#include <fontconfig/fontconfig.h>

#include <vector>

// The configuration, loaded at the first lookup.
struct FcFontsState {
  FcConfig* fc;  // null until loaded
  int fc_failed; // it could not load: every lookup fails
};
static FcFontsState fcs;

// Family names compare as fontconfig compares them: without case and spaces.
static std::string family_key(const char* name) {
  std::string key;
  for (const char* p = name; *p; p++)
    if (*p != ' ') key += (char)(*p >= 'A' && *p <= 'Z' ? *p - 'A' + 'a' : *p);
  return key;
}

void plat_fonts_prepare() {
  if (fcs.fc || fcs.fc_failed) return;
  fcs.fc = FcInitLoadConfigAndFonts();
  fcs.fc_failed = !fcs.fc;
}

// Fontconfig gives the aliases it substitutes for the name the binding "same"
// (kept strong here); what it merely falls back to is weak and refused.
int plat_font_find(const char* family, int bold, int italic, std::string* file, int* index) {
  plat_fonts_prepare();
  if (!fcs.fc) return 0;
  FcPattern* pat = FcPatternCreate();
  if (!pat) return 0;
  FcPatternAddString(pat, FC_FAMILY, (const FcChar8*)family);
  FcPatternAddInteger(pat, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcPatternAddInteger(pat, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddBool(pat, FC_SCALABLE, FcTrue);
  int found = 0;
  if (FcConfigSubstitute(fcs.fc, pat, FcMatchPattern)) {
    std::vector<std::string> accepted;
    FcValue v;
    FcValueBinding binding;
    for (int i = 0; FcPatternGetWithBinding(pat, FC_FAMILY, i, &v, &binding) == FcResultMatch; i++)
      if (binding != FcValueBindingWeak && v.type == FcTypeString)
        accepted.push_back(family_key((const char*)v.u.s));
    FcDefaultSubstitute(pat);
    FcResult result;
    FcPattern* match = FcFontMatch(fcs.fc, pat, &result);
    if (match) {
      FcChar8* name;
      for (int i = 0; !found && FcPatternGetString(match, FC_FAMILY, i, &name) == FcResultMatch;
           i++)
        for (const std::string& a : accepted)
          if (a == family_key((const char*)name)) found = 1;
      FcChar8* path;
      if (found && FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch) {
        *file = (const char*)path;
        if (FcPatternGetInteger(match, FC_INDEX, 0, index) != FcResultMatch) *index = 0;
      } else {
        found = 0;
      }
      FcPatternDestroy(match);
    }
  }
  FcPatternDestroy(pat);
  return found;
}

void plat_fonts_release() {
  if (fcs.fc) FcConfigDestroy(fcs.fc);
  fcs = FcFontsState{};
}
