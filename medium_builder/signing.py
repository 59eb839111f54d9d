#!/usr/bin/python3
"""Signing the launcher with Authenticode through osslsigncode.

A signer is named by the LAUNCHER_SIGN_ variables:

  LAUNCHER_SIGN_CERT, LAUNCHER_SIGN_KEY   a PEM certificate and its key, or,
  LAUNCHER_SIGN_PFX                       a PKCS#12 file holding both, or,
  LAUNCHER_SIGN_PKCS11_MODULE             a token's PKCS#11 module, with
      LAUNCHER_SIGN_KEY = pkcs11:...      the key on the token (RFC 7512) and
      LAUNCHER_SIGN_CERT                  its certificate, a file or pkcs11:...
  LAUNCHER_SIGN_PASS_FILE                 the key's passphrase or the token's
                                          PIN, alone on one line
  LAUNCHER_SIGN_TIMESTAMP_URL             an RFC 3161 timestamp server

The passphrase or PIN is only ever handed on as the file's name (openssl
-passin file:, osslsigncode -readpass): this module never reads it, so it is
on no command line and in nothing the build writes. The token's key is
opened once before signing, so a wrong PIN costs one try of the token's
count, not three.

signer_from_environment() checks everything that can be checked before
signing and returns a JSON-serialisable description; sign() signs with it:
SHA-1 first, the only digest XP checks, then a nested SHA-256 signature,
which later Windows prefer, both at a fixed signing time.

    signing.py check [--windows '98 Me XP']
    signing.py sign --in X --out Y --name N --epoch E --workdir W [--windows ...]
"""
import argparse
import datetime
import os
import re
import subprocess
import sys
import tempfile
import urllib.parse

VARIABLES = ("LAUNCHER_SIGN_CERT", "LAUNCHER_SIGN_KEY", "LAUNCHER_SIGN_PFX", "LAUNCHER_SIGN_PASS_FILE",
             "LAUNCHER_SIGN_TIMESTAMP_URL", "LAUNCHER_SIGN_PKCS11_MODULE")
NOTHING_TO_SIGN_WITH = "there is nothing to sign with (LAUNCHER_SIGN_PFX, or LAUNCHER_SIGN_CERT and LAUNCHER_SIGN_KEY)"

# Windows releases (as product.ini names them) that cannot verify an ECDSA
# signature on a program: CryptoAPI before Vista has no elliptic curves, and
# Authenticode takes ECDSA signatures from Windows 8 on.
NO_ECDSA = ("95", "98", "Me", "NT4", "2000", "XP", "2003", "Vista", "7")

# What a pkcs11: URI may say to find an object: the token, then the object.
# These are the attributes the OpenSSL pkcs11 engine understands too.
TOKEN_ATTRIBUTES = {"token": "token label", "manufacturer": "token manufacturer", "model": "token model",
                    "serial": "serial num"}
OBJECT_ATTRIBUTES = ("object", "id", "type")


class SigningError(Exception):
    """A signer that cannot sign: one line naming the variable or file and the fault."""


# --- running the tools -------------------------------------------------------

def run(args, what, input=None, env=None):
    """Runs a tool without a terminal (no controlling terminal, stdin empty or
    input: nothing can prompt for a passphrase) and returns (status, output)."""
    environment = dict(os.environ, LC_ALL="C")
    environment.update(env or {})
    try:
        result = subprocess.run(args, input=input, stdin=subprocess.DEVNULL if input is None else None,
                                capture_output=True, env=environment, start_new_session=True)
    except FileNotFoundError:
        raise SigningError(f"{args[0]} is not installed; {what} needs it (scripts/install-deps.sh installs it)")
    return result.returncode, result.stdout.decode(errors="replace") + result.stderr.decode(errors="replace")


def passin(pass_file):
    # An empty passphrase rather than a prompt when no file is named.
    return ["-passin", f"file:{pass_file}" if pass_file else "pass:"]


def first_line(output, skip=()):
    for line in output.splitlines():
        line = line.strip()
        if line and not any(line.startswith(s) for s in skip):
            return line
    return "no output"


# --- certificates ------------------------------------------------------------

def certificate_facts(pem, where):
    """Subject, end date, public key and key type of a PEM certificate."""
    status, text = run(["openssl", "x509", "-noout", "-subject", "-enddate", "-pubkey", "-text",
                        "-nameopt", "RFC2253"], "reading the certificate", input=pem.encode())
    if status != 0:
        raise SigningError(f"{where} is not a certificate openssl can read")
    subject = re.search(r"^subject=(.*)$", text, re.M).group(1).strip()
    end = re.search(r"^notAfter=(.*)$", text, re.M).group(1).strip()
    not_after = datetime.datetime.strptime(end, "%b %d %H:%M:%S %Y %Z").date().isoformat()
    public_key = public_key_block(text)
    algorithm = re.search(r"Public Key Algorithm: *(\S+)", text)
    algorithm = algorithm.group(1) if algorithm else "unknown"
    key_type = {"rsaEncryption": "RSA", "id-ecPublicKey": "EC", "ED25519": "Ed25519", "ED448": "Ed448",
                "dsaEncryption": "DSA"}.get(algorithm, algorithm)
    bits = re.search(r"Public-Key: \((\d+) bit\)", text)
    curve = re.search(r"NIST CURVE: *(\S+)", text) or re.search(r"ASN1 OID: *(\S+)", text)
    detail = curve.group(1) if key_type == "EC" and curve else bits.group(1) if bits else ""
    return {"subject": subject, "not_after": not_after, "key_type": key_type, "key_size": detail,
            "public_key": public_key}


def public_key_block(text):
    key = re.search(r"-----BEGIN PUBLIC KEY-----.*?-----END PUBLIC KEY-----", text, re.S)
    return key.group(0) if key else ""


def read_certificate_file(name, path):
    """The certificates in a PEM file (a chain, perhaps) or a DER file, as PEM."""
    with open(path, "rb") as f:
        data = f.read()
    if b"-----BEGIN CERTIFICATE-----" in data:
        return data.decode("ascii", errors="replace")
    status, pem = run(["openssl", "x509", "-inform", "DER", "-outform", "PEM"], "reading the certificate",
                      input=data)
    if status != 0:
        raise SigningError(f"{name}: cannot read {path} as a certificate (PEM or DER)")
    return pem


def facts_of_key(pem, key_public, where, mismatch):
    """The facts of the certificate among pem whose key is key_public."""
    for block in re.findall(r"-----BEGIN CERTIFICATE-----.*?-----END CERTIFICATE-----", pem, re.S):
        facts = certificate_facts(block, where)
        if "".join(facts.pop("public_key").split()) == "".join(key_public.split()):
            return facts
    raise SigningError(mismatch)


# --- tokens (PKCS#11) ----------------------------------------------------------

def parse_pkcs11_uri(name, uri):
    """The path attributes of an RFC 7512 URI, percent-decoded (id as bytes)."""
    path, _, query = uri[len("pkcs11:"):].partition("?")
    attributes = {}
    for part in filter(None, path.split(";")):
        key, equals, value = part.partition("=")
        if not equals:
            raise SigningError(f"{name}: {uri} is not a pkcs11: URI: \"{part}\" has no value")
        if key not in TOKEN_ATTRIBUTES and key not in OBJECT_ATTRIBUTES:
            raise SigningError(f"{name}: the build finds an object on a token by token, manufacturer, model, "
                               f"serial, object, id and type, not by \"{key}\"")
        attributes[key] = urllib.parse.unquote_to_bytes(value) if key == "id" else urllib.parse.unquote(value)
    for part in filter(None, query.split("&")):
        key = part.partition("=")[0]
        if key in ("pin-value", "pin-source"):
            raise SigningError(f"{name}: the URI names the PIN ({key}); the build takes it only from the file "
                               "LAUNCHER_SIGN_PASS_FILE names")
    return attributes


def tokens(module):
    """The tokens the module shows: one dict a slot, with pkcs11-tool's names."""
    status, output = run(["pkcs11-tool", "--module", module, "--list-slots"], "reading a token")
    if status != 0:
        reason = first_line(output, ("error:", "Aborting"))
        raise SigningError(f"LAUNCHER_SIGN_PKCS11_MODULE: {module} does not load as a PKCS#11 module: {reason}")
    found = []
    for line in output.splitlines():
        slot = re.match(r"Slot \d+ \((0x[0-9a-fA-F]+)\)", line)
        if slot:
            found.append({"slot": slot.group(1)})
        elif found and ":" in line and line.startswith("  "):
            key, _, value = line.partition(":")
            found[-1][key.strip()] = value.strip()
    return [t for t in found if "token label" in t]


def find_token(name, uri, attributes, module):
    present = tokens(module)
    matching = [t for t in present
                if all(t.get(field) == attributes[key] for key, field in TOKEN_ATTRIBUTES.items() if key in attributes)]
    if not matching:
        labels = ", ".join(f"\"{t['token label']}\"" for t in present) or "none"
        raise SigningError(f"{name}: no token matches {uri} (tokens present: {labels})")
    if len(matching) > 1:
        raise SigningError(f"{name}: {len(matching)} tokens match {uri}; name one with token= or serial=")
    return matching[0]


def engine_config(folder, module):
    """An OpenSSL configuration that sets the pkcs11 engine's module (and no PIN)."""
    path = os.path.join(folder, "engine.cnf")
    with open(path, "w") as f:
        f.write("openssl_conf = init\n[init]\nengines = engines\n[engines]\npkcs11 = pkcs11\n"
                f"[pkcs11]\nengine_id = pkcs11\nMODULE_PATH = {module}\ninit = 0\n")
    return path


def token_fault(output, token, pass_file, key_uri):
    """The one line for what the engine said of opening a key on a token, or None."""
    label = f"the token \"{token['token label']}\""
    if "PIN incorrect" in output:
        return (f"the PIN in {pass_file} (LAUNCHER_SIGN_PASS_FILE) does not open {label} "
                "(each wrong try counts towards locking it)")
    if "PIN locked" in output:
        return f"{label} has locked its PIN after too many wrong tries"
    if "No PIN code was entered" in output or "UI_process failed" in output:
        return f"{label} wants its PIN: name a file holding it in LAUNCHER_SIGN_PASS_FILE"
    if "not found" in output or "No matching" in output:
        return f"LAUNCHER_SIGN_KEY: no private key on {label} matches {key_uri}"
    return None


def token_public_key(key_uri, module, token, pass_file, folder):
    """Logs in to the token once and returns the key's public half."""
    config = engine_config(folder, module)
    # Without a PIN file no -passin: an empty PIN would cost one of the
    # token's tries, while a prompt without a terminal just fails.
    pin = ["-passin", f"file:{pass_file}"] if pass_file else []
    status, output = run(["openssl", "pkey", "-engine", "pkcs11", "-inform", "engine", "-in", key_uri,
                          *pin, "-pubout"], "reading a key on a token", env={"OPENSSL_CONF": config})
    key = public_key_block(output)
    if status == 0 and key:
        return key
    if "pkcs11" in output and ("dso not found" in output or "could not load the shared library" in output):
        raise SigningError("the OpenSSL pkcs11 engine is not installed (libengine-pkcs11-openssl); "
                           "osslsigncode signs with a token through it")
    raise SigningError(token_fault(output, token, pass_file, key_uri) or
                       f"LAUNCHER_SIGN_KEY: cannot open {key_uri}: {first_line(output, ('Engine',))}")


def token_certificate(uri, attributes, module, folder):
    """Reads the certificate a pkcs11: URI names off its token, as PEM."""
    name = "LAUNCHER_SIGN_CERT"
    if attributes.get("type", "cert") != "cert":
        raise SigningError(f"{name}: {uri} names a {attributes['type']} object, not a certificate (type=cert)")
    if "object" not in attributes and "id" not in attributes:
        raise SigningError(f"{name}: {uri} names no object on the token (object= or id=)")
    token = find_token(name, uri, attributes, module)
    der = os.path.join(folder, "token-certificate.der")
    args = ["pkcs11-tool", "--module", module, "--slot", token["slot"], "--read-object", "--type", "cert",
            "--output-file", der]
    if "object" in attributes:
        args += ["--label", attributes["object"]]
    if "id" in attributes:
        args += ["--id", attributes["id"].hex()]
    status, output = run(args, "reading a certificate on a token")
    if status != 0 or not os.path.exists(der):
        raise SigningError(f"{name}: no certificate on the token \"{token['token label']}\" matches {uri}")
    return read_certificate_file(name, der)


# --- the signer --------------------------------------------------------------

def readable(name, path):
    if not (os.path.isfile(path) and os.access(path, os.R_OK)):
        raise SigningError(f"{name}: cannot read the file {path}")


def signer_from_environment(env, admitted_releases=()):
    """The signer the LAUNCHER_SIGN_ variables in env name, checked as far as
    it can be without signing, or None when none of them asks for signing.
    Paths are used as given (absolute, from the build). Tools run in this
    process's environment (a token's own settings, such as SOFTHSM2_CONF,
    come from there)."""
    value = {name: env.get(name) or "" for name in VARIABLES}
    cert, key, pfx = value["LAUNCHER_SIGN_CERT"], value["LAUNCHER_SIGN_KEY"], value["LAUNCHER_SIGN_PFX"]
    pass_file, url = value["LAUNCHER_SIGN_PASS_FILE"], value["LAUNCHER_SIGN_TIMESTAMP_URL"]
    # A module named without a folder would be looked for on the library path.
    module = value["LAUNCHER_SIGN_PKCS11_MODULE"] and os.path.abspath(value["LAUNCHER_SIGN_PKCS11_MODULE"])
    on_token = module or key.startswith("pkcs11:") or cert.startswith("pkcs11:")

    if pfx:
        if cert or key:
            raise SigningError("sign with LAUNCHER_SIGN_PFX or with LAUNCHER_SIGN_CERT and LAUNCHER_SIGN_KEY, not both")
        if module:
            raise SigningError("LAUNCHER_SIGN_PKCS11_MODULE is for a key on a token (LAUNCHER_SIGN_KEY=pkcs11:...), "
                               "not for LAUNCHER_SIGN_PFX")
        kind = "pkcs12"
    elif cert or key:
        if not (cert and key):
            raise SigningError("signing needs both LAUNCHER_SIGN_CERT (certificate) and LAUNCHER_SIGN_KEY (its key)")
        kind = "pkcs11" if on_token else "pem"
    else:
        for name in ("LAUNCHER_SIGN_PASS_FILE", "LAUNCHER_SIGN_TIMESTAMP_URL", "LAUNCHER_SIGN_PKCS11_MODULE"):
            if value[name]:
                raise SigningError(f"{name} is set, but {NOTHING_TO_SIGN_WITH}")
        return None

    if kind == "pkcs11":
        if not module:
            raise SigningError("a key or certificate on a token (pkcs11:) needs the token's PKCS#11 module "
                               "in LAUNCHER_SIGN_PKCS11_MODULE")
        if not key.startswith("pkcs11:"):
            raise SigningError("LAUNCHER_SIGN_PKCS11_MODULE is set, but LAUNCHER_SIGN_KEY is not a pkcs11: URI "
                               "of the key on the token")
    files = {"LAUNCHER_SIGN_CERT": cert, "LAUNCHER_SIGN_KEY": key, "LAUNCHER_SIGN_PFX": pfx,
             "LAUNCHER_SIGN_PASS_FILE": pass_file, "LAUNCHER_SIGN_PKCS11_MODULE": module}
    for name, path in files.items():
        if path and not path.startswith("pkcs11:"):
            readable(name, path)
    if url and not re.match(r"https?://[^/\s]", url):
        raise SigningError(f"LAUNCHER_SIGN_TIMESTAMP_URL: \"{url}\" is not an http:// or https:// address")

    signer = {"kind": kind, "timestamp_url": url or None, "pass_file": pass_file or None}
    with tempfile.TemporaryDirectory(prefix="launcher-signing-") as folder:
        if kind == "pem":
            status, output = run(["openssl", "pkey", "-in", key, *passin(pass_file), "-pubout"], "reading the key")
            if status != 0:
                with open(key, "rb") as f:
                    locked = b"ENCRYPTED" in f.read()
                if not locked:
                    raise SigningError(f"LAUNCHER_SIGN_KEY: cannot read {key} as a private key")
                raise locked_fault(key, pass_file)
            key_public = public_key_block(output)
            cert_pem = read_certificate_file("LAUNCHER_SIGN_CERT", cert)
            signer.update(cert=cert, key=key)
            mismatch = f"LAUNCHER_SIGN_CERT: {cert} is not the certificate of the key {key} (LAUNCHER_SIGN_KEY)"
        elif kind == "pkcs12":
            status, output = run(["openssl", "pkcs12", "-legacy", "-in", pfx, "-nokeys", "-clcerts",
                                  *passin(pass_file)], "reading the PKCS#12 file")
            if status != 0:
                if "invalid password" not in output:
                    raise SigningError(f"LAUNCHER_SIGN_PFX: cannot read {pfx} as a PKCS#12 file")
                raise locked_fault(pfx, pass_file)
            if "BEGIN CERTIFICATE" not in output:
                raise SigningError(f"LAUNCHER_SIGN_PFX: {pfx} holds no certificate")
            cert_pem = output
            key_public = pkcs12_public_key(pfx, pass_file)
            signer.update(pfx=pfx)
            mismatch = f"LAUNCHER_SIGN_PFX: the certificate in {pfx} is not that of the key beside it"
        else:
            key_attributes = parse_pkcs11_uri("LAUNCHER_SIGN_KEY", key)
            token = find_token("LAUNCHER_SIGN_KEY", key, key_attributes, module)
            if cert.startswith("pkcs11:"):
                cert_pem = token_certificate(cert, parse_pkcs11_uri("LAUNCHER_SIGN_CERT", cert), module, folder)
            else:
                cert_pem = read_certificate_file("LAUNCHER_SIGN_CERT", cert)
            key_public = token_public_key(key, module, token, pass_file, folder)
            signer.update(cert=cert, key=key, pkcs11_module=module, token=token["token label"])
            mismatch = f"LAUNCHER_SIGN_CERT: {cert} is not the certificate of the key {key} (LAUNCHER_SIGN_KEY)"
    signer.update(facts_of_key(cert_pem, key_public, "LAUNCHER_SIGN_PFX" if kind == "pkcs12" else "LAUNCHER_SIGN_CERT",
                               mismatch))

    key_name = "LAUNCHER_SIGN_PFX" if kind == "pkcs12" else "LAUNCHER_SIGN_KEY"
    if signer["key_type"] not in ("RSA", "EC"):
        raise SigningError(f"{key_name}: the key is {signer['key_type']}; Windows verifies program signatures "
                           "made with RSA keys (and EC keys from Windows 8 on): sign with an RSA key")
    if signer["key_type"] == "EC" and admitted_releases and all(r in NO_ECDSA for r in admitted_releases):
        raise SigningError(f"{key_name}: an EC key signs with ECDSA, which none of the product's Windows releases "
                           f"({listed(list(admitted_releases))}) can verify: sign with an RSA key")
    return signer


def locked_fault(secret, pass_file):
    if pass_file:
        return SigningError(f"the passphrase in {pass_file} (LAUNCHER_SIGN_PASS_FILE) does not open {secret}")
    return SigningError(f"{secret} is protected by a passphrase: name a file holding it in LAUNCHER_SIGN_PASS_FILE")


def pkcs12_public_key(pfx, pass_file):
    """The public half of the PKCS#12 file's key; the key itself goes from
    one openssl to the other through a pipe, never through a file or us."""
    environment = dict(os.environ, LC_ALL="C")
    export = subprocess.Popen(["openssl", "pkcs12", "-legacy", "-in", pfx, "-nocerts", "-nodes", *passin(pass_file)],
                              stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                              env=environment, start_new_session=True)
    public = subprocess.run(["openssl", "pkey", "-pubout"], stdin=export.stdout, capture_output=True,
                            env=environment, start_new_session=True)
    export.stdout.close()
    if export.wait() != 0 or public.returncode != 0:
        raise SigningError(f"LAUNCHER_SIGN_PFX: {pfx} holds no private key")
    return public_key_block(public.stdout.decode())


def describe(signer):
    """One line: who signs, until when, with what."""
    where = {"pem": f"in {signer.get('key')}", "pkcs12": f"in {signer.get('pfx')}",
             "pkcs11": f"on the token \"{signer.get('token')}\" ({signer.get('pkcs11_module')})"}[signer["kind"]]
    stamp = f"timestamped by {signer['timestamp_url']}" if signer["timestamp_url"] else "not timestamped"
    return (f"signs as {signer['subject']} (until {signer['not_after']}), "
            f"{signer['key_type']} {signer['key_size']} key {where}, {stamp}")


def warnings(signer, admitted_releases=()):
    """What the maker should know of a signer that can sign: one line each."""
    found = []
    if not signer["timestamp_url"]:
        found.append("no timestamp (LAUNCHER_SIGN_TIMESTAMP_URL): Windows will judge the signature invalid "
                     f"once the certificate expires ({signer['not_after']})")
    if signer["key_type"] == "EC":
        cannot = [r for r in list(admitted_releases) or NO_ECDSA if r in NO_ECDSA]
        key_name = "LAUNCHER_SIGN_PFX" if signer["kind"] == "pkcs12" else "LAUNCHER_SIGN_KEY"
        found.append(f"{key_name}: an EC key: " + (f"Windows {listed(cannot)} cannot verify its ECDSA signature, "
                     "and " if cannot else "") + "Windows 11's Smart App Control accepts only programs signed "
                     "with RSA keys; an RSA key serves every release")
    return found


def listed(items):
    return " and ".join(filter(None, [", ".join(items[:-1]), items[-1]]))


def secret_files(signer):
    """The maker's signing files by variable: the key, the PKCS#12 file and
    the passphrase file, whose bytes must never go onto the disc, and the
    certificate file kept with them (an installer folder holding it holds the
    maker's signing folder by mistake). Keys on a token are not files."""
    names = {"LAUNCHER_SIGN_CERT": signer.get("cert"), "LAUNCHER_SIGN_KEY": signer.get("key"),
             "LAUNCHER_SIGN_PFX": signer.get("pfx"), "LAUNCHER_SIGN_PASS_FILE": signer.get("pass_file")}
    return {name: path for name, path in names.items() if path and not path.startswith("pkcs11:")}


def sign(signer, source, target, product_name, epoch, workdir):
    """Signs source into target: SHA-1, then a nested SHA-256 signature, at
    the fixed time epoch (the same key signs the same bytes every time, with
    an RSA key and no timestamp server). target is written whole or not at
    all. Returns a short summary."""
    kind = signer["kind"]
    if kind == "pem":
        identity = ["-certs", signer["cert"], "-key", signer["key"]]
    elif kind == "pkcs12":
        identity = ["-pkcs12", signer["pfx"]]
    else:
        cert = signer["cert"]
        if cert.startswith("pkcs11:"):
            # The certificate is public: a copy in workdir for osslsigncode.
            pem = token_certificate(cert, parse_pkcs11_uri("LAUNCHER_SIGN_CERT", cert), signer["pkcs11_module"],
                                    workdir)
            cert = os.path.join(workdir, "token-certificate.pem")
            with open(cert, "w") as f:
                f.write(pem)
        identity = ["-pkcs11module", signer["pkcs11_module"], "-key", signer["key"], "-certs", cert]
    if signer["pass_file"]:
        identity += ["-readpass", signer["pass_file"]]
    url = signer["timestamp_url"]
    common = ["osslsigncode", "sign", *identity, "-n", product_name, "-time", str(int(epoch))]
    if url:
        common += ["-ts", url]
    first = os.path.join(workdir, "launcher.sha1.exe")
    partial = os.path.join(os.path.dirname(os.path.abspath(target)), f".{os.path.basename(target)}.signing")
    try:
        for args in (["-h", "sha1", "-in", source, "-out", first],
                     ["-nest", "-h", "sha256", "-in", first, "-out", partial]):
            remove(args[-1])
            status, output = run(common + args, "signing")
            if status != 0:
                raise SigningError(signing_fault(output, signer, source))
        os.replace(partial, target)
    finally:
        remove(first)
        remove(partial)
    return (f"signed (SHA-1, nested SHA-256) by {signer['subject']} (until {signer['not_after']})"
            + (f", timestamped by {url}" if url else ""))


def remove(path):
    if os.path.lexists(path):
        os.unlink(path)


def signing_fault(output, signer, source):
    url = signer["timestamp_url"]
    if "timestamping failed" in output:
        reason = next((line.strip() for line in output.splitlines()
                       if re.search(r"HTTP failure|CURL failure|timestamping failed", line)), "")
        return f"the timestamp server {url} gave no timestamp: {reason}"
    if signer["kind"] == "pkcs11":
        fault = token_fault(output, {"token label": signer["token"]}, signer["pass_file"], signer["key"])
        if fault:
            return fault
    return f"osslsigncode could not sign {source}: " + first_line(
        output, ("Connecting", "PE checksum", "Engine ", "Failed"))


# --- a command line for the tests --------------------------------------------------

def main(argv):
    parser = argparse.ArgumentParser(prog="signing.py")
    commands = parser.add_subparsers(dest="command", required=True)
    check = commands.add_parser("check", help="check the LAUNCHER_SIGN_ variables and say who signs")
    do = commands.add_parser("sign", help="sign one program")
    for command in (check, do):
        command.add_argument("--windows", default="", help="the product's Windows releases, as product.ini lists them")
    for option in ("--in", "--out", "--name", "--epoch", "--workdir"):
        do.add_argument(option, required=True, dest=option[2:])
    args = parser.parse_args(argv)
    releases = args.windows.split()
    try:
        signer = signer_from_environment(os.environ, releases)
        if signer is None:
            if args.command == "sign":
                raise SigningError(f"nothing signs: {NOTHING_TO_SIGN_WITH}")
            print("signing: no LAUNCHER_SIGN_ variable is set: the launcher stays unsigned")
            return 0
        if args.command == "check":
            print(f"signing: {describe(signer)}")
        for line in warnings(signer, releases):
            print(f"signing: {line}")
        if args.command == "sign":
            if not re.fullmatch(r"[0-9]+", args.epoch):
                raise SigningError(f"the signing time must be a number of seconds, not \"{args.epoch}\"")
            print(f"signing: {os.path.basename(args.out)} "
                  + sign(signer, getattr(args, "in"), args.out, args.name, int(args.epoch), args.workdir))
    except SigningError as error:
        print(f"signing: {error}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
