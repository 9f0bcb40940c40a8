#!/usr/bin/env python3
"""The web remote's page in a real browser (headless Chromium through chromedriver).

A headless player serves the page; the browser loads it at phone width, sees the folder and
clip numbers, clicks "next folder" and sends x from the key field, and sees the numbers
change; the motion plot is drawn and the page is one column. Then the camera, a video at a long
path, is switched on from the page: at 390 pixels nothing on the page scrolls sideways and the
clip picture is whole. With --screenshot FILE the page is saved as a picture as well.

    web_page_test.py KALVENTO_BINARY MAKE_DEMO_BINARY [--screenshot FILE]
"""
import json
import os
import socket
import subprocess
import sys
import tempfile
import time
import urllib.request

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def status_of(base):
    with urllib.request.urlopen(base + "/api/v1/status", timeout=10) as answer:
        return json.load(answer)


def post_key(base, key):
    request = urllib.request.Request(base + "/api/v1/key", data=json.dumps({"key": key}).encode(),
                                     method="POST")
    with urllib.request.urlopen(request, timeout=10) as answer:
        return answer.status


# A camera video at a path longer than a phone is wide, with no blank to break it at.
def long_camera_path(root):
    return os.path.join(root, "recordings_of_the_museum_entrance_camera_" + "x" * 60, "camera.avi")


def start_player(player, make_demo, root, port):
    camera = long_camera_path(root)
    os.makedirs(os.path.dirname(camera))
    subprocess.run([make_demo, "--root", root, "--folders", "3", "--clips", "6", "--size", "640x480",
                    "--video", camera], check=True, stdout=subprocess.DEVNULL)
    work = os.path.join(root, "work")
    os.makedirs(work)
    script = os.path.join(work, "input.txt")
    with open(script, "w") as f:
        f.write("sleep 5\nidle 1\n" * 200 * 240)  # four minutes at most
    return subprocess.Popen([player, "--headless", "--input", script, "--seed", "1", "--http", str(port),
                             "--http-keys", "n,p,x,z,J,TAB,q,g,v,V,ESC,ENTER",
                             "--camera-source", camera, "--camera-source-loop"],
                            cwd=work, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)


def wait_until_up(base, process):
    for _ in range(600):
        if process.poll() is not None:
            raise AssertionError("the player ended: " + process.stderr.read())
        try:
            urllib.request.urlopen(base + "/api/v1/status", timeout=2).read()
            return
        except OSError:
            time.sleep(0.1)
    raise AssertionError("the web remote never answered")


def check_page(driver, base, screenshot):
    driver.get(base + "/")
    wait = WebDriverWait(driver, 30)
    text = lambda id: driver.find_element(By.ID, id).text
    wait.until(lambda d: text("folder") == "1" and text("clip-count") == "6")
    assert text("clip") == "0", text("clip")
    assert text("folder-name") == "S001", text("folder-name")
    driver.find_element(By.ID, "next-folder").click()
    wait.until(lambda d: text("folder") == "2")
    assert text("folder-name") == "S002"
    field = driver.find_element(By.ID, "key")
    field.send_keys("x")
    driver.find_element(By.CSS_SELECTOR, "#key-form button").click()
    wait.until(lambda d: text("clip") == "1")
    # The plot: drawn again and again, with the red threshold line in it.
    wait.until(lambda d: int(d.find_element(By.ID, "plot").get_attribute("data-drawn") or 0) > 3)
    red = driver.execute_script("""
        const c = document.getElementById('plot'), g = c.getContext('2d');
        const d = g.getImageData(0, 0, c.width, c.height).data; let n = 0;
        for (let i = 0; i < d.length; i += 4) if (d[i] > 200 && d[i + 1] < 100) n++;
        return n;""")
    assert red > 100, f"the threshold line is not drawn ({red} red pixels)"
    # The clip preview loaded, and below 600 pixels the sections stand in one column.
    wait.until(lambda d: d.execute_script(
        "const i = document.getElementById('frame'); return i.complete && i.naturalWidth > 0;"))
    lefts = driver.execute_script(
        "return [...document.querySelectorAll('main > section')].map(s => s.getBoundingClientRect().left);")
    assert len(set(round(x) for x in lefts)) == 1, lefts
    assert driver.find_element(By.ID, "state").text == "live"
    assert driver.find_element(By.ID, "camera-off").is_displayed()
    assert status_of(base)["http"]["notFound"] == 0, "the page asked for something that is not there"
    assert driver.find_element(By.CSS_SELECTOR, "button[data-key='ESC']").is_enabled()
    # Threshold + sets the threshold one step of V higher; the OSD level button stays off in a
    # player without an on-screen display.
    before = status_of(base)["motion"]["QBN_threshold"]
    driver.find_element(By.ID, "threshold-up").click()
    wait.until(lambda d: status_of(base)["motion"]["QBN_threshold"] == before + 8)
    assert not driver.find_element(By.ID, "osd").is_enabled()
    # Buttons a finger can hit; the gesture numbers only in the gesture engine; the page runs
    # under its policy (its script and style are files of its own).
    heights = driver.execute_script(
        "return [...document.querySelectorAll('button')].map(b => b.getBoundingClientRect().height);")
    assert min(heights) >= 44, heights
    rows = driver.execute_script(
        "return [...document.querySelectorAll('#numbers td:first-child')].map(t => t.textContent);")
    assert "engine" in rows and "gesture" not in rows, rows
    with urllib.request.urlopen(base + "/") as answer:
        assert "frame-ancestors 'none'" in answer.headers["Content-Security-Policy"]
    check_camera_path(driver, base, wait)
    if screenshot:
        height = driver.execute_script("return document.documentElement.scrollHeight")
        driver.set_window_size(390, height + 140)
        time.sleep(1.0)
        driver.save_screenshot(screenshot)


def check_camera_path(driver, base, wait):
    """The camera switched on from the page; its long path in the numbers widens nothing."""
    driver.find_element(By.CSS_SELECTOR, "button[data-key='q']").click()
    wait.until(lambda d: status_of(base)["camera"]["on"])
    camera = lambda d: d.execute_script(
        "return [...document.querySelectorAll('#numbers tr')].map(r => r.textContent)"
        ".find(t => t.startsWith('camera')) || '';")
    wait.until(lambda d: "recordings_of_the_museum" in camera(d))
    # A phone's 390 CSS pixels (headless Chromium's window is no narrower than 500).
    driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride",
                           {"width": 390, "height": 844, "deviceScaleFactor": 3, "mobile": True})
    wait.until(lambda d: d.execute_script("return window.innerWidth") == 390)
    sizes = driver.execute_script("""
        const e = document.documentElement;
        const wide = [...document.querySelectorAll('body *')].filter(n =>
            n.getBoundingClientRect().right > e.clientWidth + 0.5).map(n => n.tagName + '#' + n.id);
        return {inner: window.innerWidth, client: e.clientWidth, scroll: e.scrollWidth,
                body: document.body.scrollWidth, wide: wide,
                frame: document.getElementById('frame').getBoundingClientRect().right};""")
    assert sizes["inner"] == 390, sizes
    assert sizes["scroll"] <= sizes["client"] and sizes["body"] <= sizes["client"], \
        f"the page scrolls sideways at 390 px: {sizes}"
    assert not sizes["wide"], f"reaching past the right edge: {sizes}"
    assert sizes["frame"] <= sizes["client"], f"the clip picture is cut: {sizes}"


def main():
    player, make_demo = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    screenshot = sys.argv[4] if len(sys.argv) > 4 and sys.argv[3] == "--screenshot" else None
    port = free_port()
    base = f"http://127.0.0.1:{port}"
    with tempfile.TemporaryDirectory() as root:
        process = start_player(player, make_demo, root, port)
        driver = None
        try:
            wait_until_up(base, process)
            options = webdriver.ChromeOptions()
            options.binary_location = "/usr/bin/chromium"
            for argument in ("--headless=new", "--no-sandbox", "--disable-gpu",
                             "--window-size=390,844", "--user-data-dir=" + os.path.join(root, "browser")):
                options.add_argument(argument)
            driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
            check_page(driver, base, screenshot)
        finally:
            if driver:
                driver.quit()
            if process.poll() is None:
                post_key(base, "ESC")
                time.sleep(0.5)
                post_key(base, "ESC")
            out, err = process.communicate(timeout=60)
    assert process.returncode == 0, f"the player ended with {process.returncode}: {err}"
    assert f"Web remote: {base}/" in out
    print("browser: the page shows and steers the player")


if __name__ == "__main__":
    main()
