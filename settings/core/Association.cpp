#include "settings/core/Association.h"

namespace sorrel::settings {

TAssociationStatus MakeAssociationStatus(bool pdrAssociated, bool pflAssociated) {
  auto text = [](bool associated) { return associated ? kAssociatedText : kNotAssociatedText; };
  TAssociationStatus s;
  s.pdrAssociated = pdrAssociated;
  s.pflAssociated = pflAssociated;
  s.pdrStatus = std::string(kPdrExtension) + " は " + text(pdrAssociated);
  s.pflStatus = std::string(kPflExtension) + " は " + text(pflAssociated);
  s.linkSetEnabled = !(pdrAssociated && pflAssociated);
  s.linkResetEnabled = pdrAssociated || pflAssociated;
  return s;
}

const TAssociationStatus& TAssociation::UpdateAssociationStatus() {
  const bool pdr = store_.IsAssociated(kPdrExtension);
  const bool pfl = store_.IsAssociated(kPflExtension);
  status_ = MakeAssociationStatus(pdr, pfl);
  return status_;
}

bool TAssociation::LinkSetClick() {
  message_.clear();
  if (!store_.Associate(message_)) return false;
  UpdateAssociationStatus();
  return true;
}

bool TAssociation::LinkResetClick() {
  message_.clear();
  if (!store_.RemoveAssociation(message_)) return false;
  UpdateAssociationStatus();
  return true;
}

}  // namespace sorrel::settings
