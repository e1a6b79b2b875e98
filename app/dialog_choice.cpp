#include "app/dialog_choice.h"

namespace tq {

std::string SurveySetupTemplate(const BuildConfig& build, int32_t portrait) {
  switch (build.InstrumentKind) {
    case kKindTq62:
    case kKindTq68:
      if (portrait == 1) return "GetSurveySetup62V";
      return build.StorageRoot == 1 ? "GetSurveySetup62H" : "GetSurveySetup62";
    case kKindTq68b:
    case kKindTq64:
      return portrait == 1 ? "GetSurveySetup68BV" : "GetSurveySetup68B";
    case kKindTq68dd:
      return "GetSurveySetup68D";
    case kKindFrz62:
      return "GetSurveySetupFrz62";
    case kKindTq68Mk2:
      return "GetSurveySetup68B";
    default:
      return {};
  }
}

std::string LoggerSetupTemplate(const BuildConfig& build) {
  if (build.InstrumentKind == kKindTq68Mk2) return "GetLoggerSetup68MK2";
  if (build.InstrumentKind != kKindTq62) return "GetLoggerSetup68";
  return build.IceOptionBuilt == 1 ? "GetLoggerSetup62Ice" : "GetLoggerSetup62";
}

std::string GpsPortSetupTemplate() { return "GetGPSPortSetup"; }

}  // namespace tq
