# ruff: noqa: E501  (mzML text is clearer unbroken)
"""Writes a synthetic hour-long Orbitrap DDA run as mzML, the shared input of
the conversion and XIC benchmarks: 7,605 MS1 spectra (420 centroids each,
m/z float64 and intensity float32, zlib) and three MS2 spectra after each
(45 centroids, with precursor, charge, intensity, HCD and isolation window),
30,420 spectra in 60 minutes, about 160 MB.

    python bench/make_orbitrap_mzml.py [PATH] [--scale 1.0]

Peaks come from a fixed set of features with Gaussian elution profiles, so
XICs of feature m/z values have real peaks; the rest is noise. The file is
made the same way every time (fixed seed) and is written only if missing.
"""

import argparse
import base64
import pathlib
import zlib

import numpy as np

OUT = pathlib.Path(__file__).parent / "out" / "orbitrap_hour.mzML"
MS1_POINTS, MS2_POINTS, MS2_PER_MS1 = 420, 45, 3
FEATURES = 4000

HEADER = """<?xml version="1.0" encoding="utf-8"?>
<mzML xmlns="http://psi.hupo.org/ms/mzml" version="1.1.0" id="orbitrap_hour">
  <cvList count="2">
    <cv id="MS" fullName="Proteomics Standards Initiative Mass Spectrometry Ontology" version="4.1.0" URI="https://raw.githubusercontent.com/HUPO-PSI/psi-ms-CV/master/psi-ms.obo"/>
    <cv id="UO" fullName="Unit Ontology" version="09:04:2014" URI="http://ontologies.berkeleybop.org/uo.obo"/>
  </cvList>
  <fileDescription>
    <fileContent>
      <cvParam cvRef="MS" accession="MS:1000579" name="MS1 spectrum" value=""/>
      <cvParam cvRef="MS" accession="MS:1000580" name="MSn spectrum" value=""/>
    </fileContent>
  </fileDescription>
  <softwareList count="1">
    <software id="synthetic" version="1.0"/>
  </softwareList>
  <instrumentConfigurationList count="1">
    <instrumentConfiguration id="IC1">
      <cvParam cvRef="MS" accession="MS:1001911" name="Q Exactive" value=""/>
      <componentList count="3">
        <source order="1"><cvParam cvRef="MS" accession="MS:1000073" name="electrospray ionization" value=""/></source>
        <analyzer order="2"><cvParam cvRef="MS" accession="MS:1000484" name="orbitrap" value=""/></analyzer>
        <detector order="3"><cvParam cvRef="MS" accession="MS:1000624" name="inductive detector" value=""/></detector>
      </componentList>
    </instrumentConfiguration>
  </instrumentConfigurationList>
  <dataProcessingList count="1">
    <dataProcessing id="dp"><processingMethod order="0" softwareRef="synthetic"><cvParam cvRef="MS" accession="MS:1000035" name="peak picking" value=""/></processingMethod></dataProcessing>
  </dataProcessingList>
  <run id="orbitrap_hour" defaultInstrumentConfigurationRef="IC1" startTimeStamp="2026-01-01T00:00:00Z">
    <spectrumList count="{count}" defaultDataProcessingRef="dp">
"""
FOOTER = """    </spectrumList>
  </run>
</mzML>
"""


def array_xml(values, accession, name, bits, unit):
    data = base64.b64encode(zlib.compress(values.tobytes())).decode()
    kind = ("MS:1000523", "64-bit float") if bits == 64 else ("MS:1000521", "32-bit float")
    return (
        f'<binaryDataArray encodedLength="{len(data)}">'
        f'<cvParam cvRef="MS" accession="{kind[0]}" name="{kind[1]}" value=""/>'
        '<cvParam cvRef="MS" accession="MS:1000574" name="zlib compression" value=""/>'
        f'<cvParam cvRef="MS" accession="{accession}" name="{name}" value="" {unit}/>'
        f"<binary>{data}</binary></binaryDataArray>"
    )


def spectrum_xml(index, scan, rt, level, mz, intensity, precursor=None):
    tic, top = float(intensity.sum()), int(np.argmax(intensity))
    kind = 'MS:1000579" name="MS1 spectrum' if level == 1 else 'MS:1000580" name="MSn spectrum'
    filt = (
        "FTMS + p ESI Full ms [350.0000-1800.0000]"
        if level == 1
        else f"FTMS + c ESI d Full ms2 {precursor[0]:.4f}@hcd28.00 [100.0000-2000.0000]"
    )
    parts = [
        f'<spectrum index="{index}" id="controllerType=0 controllerNumber=1 scan={scan}" '
        f'defaultArrayLength="{len(mz)}">',
        f'<cvParam cvRef="MS" accession="MS:1000511" name="ms level" value="{level}"/>',
        f'<cvParam cvRef="MS" accession="{kind}" value=""/>',
        '<cvParam cvRef="MS" accession="MS:1000130" name="positive scan" value=""/>',
        '<cvParam cvRef="MS" accession="MS:1000127" name="centroid spectrum" value=""/>',
        f'<cvParam cvRef="MS" accession="MS:1000504" name="base peak m/z" value="{float(mz[top])!r}" '
        'unitCvRef="MS" unitAccession="MS:1000040" unitName="m/z"/>',
        f'<cvParam cvRef="MS" accession="MS:1000505" name="base peak intensity" '
        f'value="{float(intensity[top])!r}"/>',
        f'<cvParam cvRef="MS" accession="MS:1000285" name="total ion current" value="{tic!r}"/>',
        '<scanList count="1"><cvParam cvRef="MS" accession="MS:1000795" name="no combination" value=""/>',
        f'<scan><cvParam cvRef="MS" accession="MS:1000016" name="scan start time" value="{rt!r}" '
        'unitCvRef="UO" unitAccession="UO:0000031" unitName="minute"/>',
        f'<cvParam cvRef="MS" accession="MS:1000512" name="filter string" value="{filt}"/>',
        '<cvParam cvRef="MS" accession="MS:1000927" name="ion injection time" value="20.5" '
        'unitCvRef="UO" unitAccession="UO:0000028" unitName="millisecond"/>',
        '<scanWindowList count="1"><scanWindow>'
        '<cvParam cvRef="MS" accession="MS:1000501" name="scan window lower limit" value="350"/>'
        '<cvParam cvRef="MS" accession="MS:1000500" name="scan window upper limit" value="1800"/>'
        "</scanWindow></scanWindowList></scan></scanList>",
    ]
    if precursor:
        pmz, charge, pint, ms1_scan = precursor
        parts.append(
            '<precursorList count="1">'
            f'<precursor spectrumRef="controllerType=0 controllerNumber=1 scan={ms1_scan}">'
            "<isolationWindow>"
            f'<cvParam cvRef="MS" accession="MS:1000827" name="isolation window target m/z" value="{pmz!r}"/>'
            '<cvParam cvRef="MS" accession="MS:1000828" name="isolation window lower offset" value="0.8"/>'
            '<cvParam cvRef="MS" accession="MS:1000829" name="isolation window upper offset" value="0.8"/>'
            "</isolationWindow>"
            '<selectedIonList count="1"><selectedIon>'
            f'<cvParam cvRef="MS" accession="MS:1000744" name="selected ion m/z" value="{pmz!r}"/>'
            f'<cvParam cvRef="MS" accession="MS:1000041" name="charge state" value="{charge}"/>'
            f'<cvParam cvRef="MS" accession="MS:1000042" name="peak intensity" value="{pint!r}"/>'
            "</selectedIon></selectedIonList>"
            '<activation><cvParam cvRef="MS" accession="MS:1000422" '
            'name="beam-type collision-induced dissociation" value=""/>'
            '<cvParam cvRef="MS" accession="MS:1000045" name="collision energy" value="28.0"/>'
            "</activation></precursor></precursorList>"
        )
    parts.append('<binaryDataArrayList count="2">')
    parts.append(
        array_xml(
            mz,
            "MS:1000514",
            "m/z array",
            64,
            'unitCvRef="MS" unitAccession="MS:1000040" unitName="m/z"',
        )
    )
    parts.append(
        array_xml(
            intensity,
            "MS:1000515",
            "intensity array",
            32,
            'unitCvRef="MS" unitAccession="MS:1000131" unitName="number of detector counts"',
        )
    )
    parts.append("</binaryDataArrayList></spectrum>\n")
    return "".join(parts)


def write(path, scale=1.0):
    rng = np.random.default_rng(1)
    ms1_count = int(7605 * scale)
    feature_mz = np.sort(rng.uniform(350.0, 1800.0, FEATURES))
    feature_apex = rng.uniform(1.0, 59.0, FEATURES)
    feature_width = rng.uniform(0.05, 0.4, FEATURES)
    feature_height = rng.lognormal(13, 1.5, FEATURES)
    path.parent.mkdir(parents=True, exist_ok=True)
    spectra = ms1_count * (1 + MS2_PER_MS1)
    index = 0
    with open(path, "w", encoding="utf-8") as out:
        out.write(HEADER.replace("{count}", str(spectra)))
        for k in range(ms1_count):
            rt = 60.0 * k / ms1_count
            elution = feature_height * np.exp(-0.5 * ((rt - feature_apex) / feature_width) ** 2)
            live = np.flatnonzero(elution > 1e3)[: MS1_POINTS // 2]
            noise = rng.uniform(350.0, 1800.0, MS1_POINTS - len(live))
            mz = np.concatenate([feature_mz[live] + rng.normal(0, 1e-4, len(live)), noise])
            intensity = np.concatenate([elution[live], rng.lognormal(7, 1, len(noise))])
            order = np.argsort(mz)
            mz, intensity = mz[order], intensity[order].astype(np.float32)
            scan = index + 1
            out.write(spectrum_xml(index, scan, rt, 1, mz, intensity))
            index += 1
            top = np.argsort(intensity)[::-1][:MS2_PER_MS1]
            for j, peak in enumerate(top):
                mz2 = np.sort(rng.uniform(100.0, float(mz[peak]), MS2_POINTS))
                it2 = rng.lognormal(8, 1.5, MS2_POINTS).astype(np.float32)
                precursor = (float(mz[peak]), 2 + j % 2, float(intensity[peak]), scan)
                out.write(
                    spectrum_xml(index, index + 1, rt + 0.001 * (j + 1), 2, mz2, it2, precursor)
                )
                index += 1
        out.write(FOOTER)
    return path


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("path", nargs="?", type=pathlib.Path, default=OUT)
    ap.add_argument("--scale", type=float, default=1.0)
    args = ap.parse_args()
    if args.path.exists():
        print(f"{args.path} exists ({args.path.stat().st_size / 1e6:.1f} MB)")
        return
    write(args.path, args.scale)
    print(f"wrote {args.path} ({args.path.stat().st_size / 1e6:.1f} MB)")


if __name__ == "__main__":
    main()
