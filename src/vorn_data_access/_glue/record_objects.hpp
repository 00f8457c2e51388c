// Builds the reader layer's Python records from decoded core records.
#pragma once

#include <nanobind/nanobind.h>
#include <nanobind/ndarray.h>

#include <vector>

#include "arrays.hpp"
#include "convert.hpp"
#include "records.hpp"

namespace vorn::py {

inline nb::object make_measurement_description(const MeasurementDescription& m) {
  nb::object o = make_instance<MeasurementDescriptionRecord>();
  auto* r = nb::inst_ptr<MeasurementDescriptionRecord>(o);
  size_t i = 0;
#define VORN_FIELD(member, type, words, kind) r->slots[i++] = opt(m.member);
  VORN_MEASUREMENT_FIELDS(VORN_FIELD)
#undef VORN_FIELD
  return o;
}

inline nb::object make_vendor_condition(const VendorCondition& v) {
  nb::object o = make_instance<VendorConditionRecord>();
  auto* r = nb::inst_ptr<VendorConditionRecord>(o);
  r->slots[VendorConditionRecord::kType] = nb::cast(v.type);
  r->slots[VendorConditionRecord::kOriginalId] = opt(v.original_id);
  r->slots[VendorConditionRecord::kConeVoltage] = opt(v.cone_voltage);
  r->slots[VendorConditionRecord::kScanInfo] = opt(v.scan_info_string);
  return o;
}

inline nb::object make_triple_q(const TripleQScan& t) {
  nb::object o = make_instance<TripleQScanRecord>();
  auto* r = nb::inst_ptr<TripleQScanRecord>(o);
  r->slots[TripleQScanRecord::kType] = nb::cast(t.type);
  r->slots[TripleQScanRecord::kTargetMz] = opt(t.target_mz);
  r->slots[TripleQScanRecord::kQ1Range] = opt(t.q1_range);
  r->slots[TripleQScanRecord::kQ3Range] = opt(t.q3_range);
  return o;
}

inline nb::object make_condition(const AcquisitionConditionRecord& c) {
  nb::object core = make_instance<CoreConditionRecord>();
  auto* k = nb::inst_ptr<CoreConditionRecord>(core);
  k->slots[CoreConditionRecord::kMsLevel] = opt(c.core.ms_level);
  k->slots[CoreConditionRecord::kPolarity] = opt_enum(c.core.polarity);
  k->slots[CoreConditionRecord::kCollisionEnergy] = opt(c.core.collision_energy);
  k->slots[CoreConditionRecord::kMassRange] = opt(c.core.mass_range);
  k->slots[CoreConditionRecord::kOriginalType] = opt_enum(c.core.original_measured_spectrum_type);
  k->slots[CoreConditionRecord::kVendor] =
      c.core.vendor ? make_vendor_condition(*c.core.vendor) : nb::none();
  k->slots[CoreConditionRecord::kTripleQ] =
      c.core.triple_q ? make_triple_q(*c.core.triple_q) : nb::none();
  nb::object o = make_instance<AcquisitionConditionRecordObj>();
  auto* r = nb::inst_ptr<AcquisitionConditionRecordObj>(o);
  r->slots[AcquisitionConditionRecordObj::kCore] = core;
  r->slots[AcquisitionConditionRecordObj::kPrecursorRange] = opt(c.precursor_range);
  r->slots[AcquisitionConditionRecordObj::kPrecursorValue] = opt(c.precursor_value);
  return o;
}

inline nb::object make_wavelength_array(const std::vector<double>& values, bool f32) {
  vorn::FloatArray a = f32 ? vorn::FloatArray::of_f32(values.size()) : vorn::FloatArray(values);
  if (f32)
    for (size_t i = 0; i < values.size(); ++i) a.f32()[i] = static_cast<float>(values[i]);
  return make_instance<WavelengthArray>(std::move(a));
}

inline nb::object make_function_description(const FunctionDescription& f) {
  nb::object o = make_instance<FunctionDescriptionRecord>();
  auto* r = nb::inst_ptr<FunctionDescriptionRecord>(o);
  r->slots[FunctionDescriptionRecord::kIsQual] = nb::bool_(f.is_qual);
  if (f.is_qual) {
    nb::object q = make_instance<QualDescriptionRecord>();
    auto* qr = nb::inst_ptr<QualDescriptionRecord>(q);
    qr->slots[QualDescriptionRecord::kDetector] = nb::cast(f.detector);
    if (f.conditions) {
      nb::list l;
      for (const auto& c : *f.conditions) l.append(make_condition(c));
      qr->slots[QualDescriptionRecord::kConditions] = l;
    } else {
      qr->slots[QualDescriptionRecord::kConditions] = nb::none();
    }
    qr->slots[QualDescriptionRecord::kProperties] = to_python(f.supplemental_properties);
    qr->slots[QualDescriptionRecord::kWavelengths] =
        f.wavelengths ? make_wavelength_array(*f.wavelengths, f.wavelengths_f32) : nb::none();
    r->slots[FunctionDescriptionRecord::kQual] = q;
    r->slots[FunctionDescriptionRecord::kQuan] = nb::none();
  } else {
    nb::object q = make_instance<QuanDescriptionRecord>();
    auto* qr = nb::inst_ptr<QuanDescriptionRecord>(q);
    qr->slots[QuanDescriptionRecord::kDetector] = nb::cast(f.detector);
    qr->slots[QuanDescriptionRecord::kProperties] = to_python(f.supplemental_properties);
    r->slots[FunctionDescriptionRecord::kQual] = nb::none();
    r->slots[FunctionDescriptionRecord::kQuan] = q;
  }
  return o;
}

}  // namespace vorn::py
