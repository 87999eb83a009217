"""winget/VERSION/: the version, installer and default-locale manifests of
the release's .msi, as winget's community repository takes them (schema
1.10.0), its product codes and sum read from the file; and every earlier
release's, as the site last published them, since submitted manifests
name those installers."""
import glob
import os
import shutil

import yaml

from site_tools import FACTS, VERSION, file_sum, run

IDENTIFIER = "Quorvast.Quorvast"


def winget_manifests(site, previous):
    for folder in sorted(glob.glob(os.path.join(previous, "winget", "*"))) if previous else []:
        if os.path.basename(folder) != VERSION:
            shutil.copytree(folder, os.path.join(site, "winget", os.path.basename(folder)))
    folder = os.path.join(site, "winget", VERSION)
    os.makedirs(folder)
    for name, fields in manifests("quorvast-%s-windows-x86_64.msi" % VERSION).items():
        with open(os.path.join(folder, name), "w") as out:
            yaml.safe_dump(fields, out, sort_keys=False, allow_unicode=True, width=1000)


def manifests(msi):
    """{file name: its fields}, in the order the schema lists them."""
    properties = dict(line.split("\t", 1) for line in run("msiinfo", "export", "dist/" + msi, "Property").splitlines()
                      if "\t" in line)
    head = {"PackageIdentifier": IDENTIFIER, "PackageVersion": VERSION}
    home = FACTS["homepage"]
    return {
        IDENTIFIER + ".yaml": {**head, "DefaultLocale": "en-US", **tail("version")},
        IDENTIFIER + ".installer.yaml": {
            **head, "InstallerType": "wix", "Scope": "machine", "UpgradeBehavior": "install",
            "ProductCode": properties["ProductCode"],
            "AppsAndFeaturesEntries": [{"UpgradeCode": properties["UpgradeCode"]}],
            "Installers": [{"Architecture": "x64", "InstallerUrl": "%sdownload/%s" % (home, msi),
                            "InstallerSha256": file_sum("dist/" + msi).upper()}],
            **tail("installer")},
        IDENTIFIER + ".locale.en-US.yaml": {
            **head, "PackageLocale": "en-US", "Publisher": "The Quorvast authors", "PublisherUrl": home,
            "PublisherSupportUrl": FACTS["bugs"], "PackageName": "Quorvast", "PackageUrl": home, "License": "MIT",
            "LicenseUrl": home + "LICENSE.txt",
            "ShortDescription": "Estimates an asteroid's diameter from its absolute magnitude H.",
            "Moniker": "quorvast", "Tags": ["astronomy", "asteroid"], **tail("defaultLocale")}}


def tail(kind):
    return {"ManifestType": kind, "ManifestVersion": "1.10.0"}
