#include "interfaces/parallel/count_entry.h"

#include "settings/settings.h"
#include "settings/value_text.h"

namespace axo {

CountEntryCheck CheckCountEntry(const std::string& text, CountAxis axis) {
    const bool alpha = axis == CountAxis::Alpha;
    const std::string name = alpha ? "Alpha" : "Delta";
    CountEntryCheck check;
    const std::optional<double> v = ParseNumberText(text);
    if (!v) {
        check.errorText = "Valeur de la variable de comptage " + name + " incorrecte";
        return check;
    }
    const double limit = alpha ? kCountAlphaMax : kCountDeltaMax;
    if (!(*v > 0.0 && *v <= limit)) {
        check.errorText = "Valeur de la variable de comptage " + name +
                          " incorrecte.\nLa valeur doit être strictement positive et inférieure à " +
                          (alpha ? "256" : "32");
        return check;
    }
    check.value = v;
    return check;
}

}  // namespace axo
