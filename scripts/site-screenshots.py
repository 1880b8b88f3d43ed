#!/usr/bin/env python3
"""Pictures of the built sites for docs/: the bundled sample and a site of each bundled
template (the sample's content in the template's look), the homepage at 390 and at 1280 CSS
pixels wide, as docs/site-<name>-<width>.png. Run by scripts/screenshot.sh, which builds the
programs it names.

Usage: site-screenshots.py CORVANE_CLI MAKE_TEMPLATES TEMPLATE_SITE OUTPUT_FOLDER
"""

import os
import shutil
import subprocess
import sys
import tempfile

here = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(here, "..", "tests", "browser"))
import BrowserTest as base  # noqa: E402  (the browser and the server)

WIDTHS = {390: 844, 1280: 900}
TEMPLATES = ["Hiking Club", "Night", "Small Business"]


def run(command):
    subprocess.run(command, stdin=subprocess.DEVNULL, check=True, timeout=120,
                   stdout=subprocess.DEVNULL)


def main():
    if len(sys.argv) != 5:
        print(__doc__, file=sys.stderr)
        return 2
    cli, make_templates, template_site, output = sys.argv[1:]
    source = os.path.abspath(os.path.join(here, ".."))
    sample = os.path.join(source, "examples", "Sample")
    scratch = tempfile.mkdtemp(prefix="corvane-site-shots-")
    browser = None
    try:
        projects = {"sample": os.path.join(scratch, "project-sample")}
        shutil.copytree(sample, projects["sample"])
        templates = os.path.join(scratch, "Templates")
        run([make_templates, sample, os.path.join(source, "examples", "TemplatePictures"),
             templates])
        for template in TEMPLATES:
            name = template.lower().replace(" ", "-")
            projects[name] = os.path.join(scratch, "project-" + name)
            run([template_site, os.path.join(templates, template + ".Tmp"), sample,
                 projects[name]])
        browser = base.Browser(scratch, show_pictures=True)
        os.makedirs(output, exist_ok=True)
        with open(os.path.join(scratch, "servers.log"), "wb") as log:
            for name, project in projects.items():
                site = os.path.join(scratch, "site-" + name)
                os.makedirs(site)
                run([cli, "build", project, "--into", site])
                home = next(page for page in ("Index.htm", "Default.htm", "index.html")
                            if os.path.exists(os.path.join(site, page)))
                server = base.Server(site, log)
                try:
                    for width, height in WIDTHS.items():
                        browser.driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", {
                            "width": width, "height": height, "deviceScaleFactor": 1,
                            "mobile": width < 768})
                        browser.driver.get(server.url(home))
                        path = os.path.join(output, f"site-{name}-{width}.png")
                        browser.driver.get_screenshot_as_file(path)
                        print(f"Saved {path}")
                finally:
                    server.close()
    finally:
        if browser is not None:
            browser.close()
        shutil.rmtree(scratch, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
