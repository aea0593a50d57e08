#!/usr/bin/env python3
"""Authenticode signing of the modules and the packages, with osslsigncode, where a code-signing
certificate is given through the environment:
  ORVEX_SIGN_PKCS12     the certificate and its private key, a PKCS#12 file (.p12 or .pfx)
  ORVEX_SIGN_PASSWORD   that file's password (empty when unset)
  ORVEX_SIGN_TIMESTAMP  an RFC 3161 time-stamping server (none when unset: the signature is then
                        valid only as long as the certificate is)
Without ORVEX_SIGN_PKCS12 nothing is signed.

Usage: signing.py identity FILE        FILE names the certificate in use (rewritten only when it
                                       changes, so that the build signs again exactly then)
       signing.py sign FILE...         signs each FILE in place; nothing without a certificate
       signing.py verify FILE...       checks each FILE's signature against the given certificate
                                       (its own trust anchor, as a throwaway one is); 77 without one
"""

import hashlib
import os
import subprocess
import sys
import tempfile

SKIPPED = 77


def fail(text):
    sys.exit('signing: ' + text)


def certificate():
    """The PKCS#12 file and its password, or None when the build is unsigned."""
    path = os.environ.get('ORVEX_SIGN_PKCS12', '')
    if not path:
        return None
    if not os.path.isfile(path):
        fail('ORVEX_SIGN_PKCS12 names %s, which does not exist' % path)
    return path, os.environ.get('ORVEX_SIGN_PASSWORD', '')


def run(command, what, **options):
    result = subprocess.run(command, capture_output=True, text=True, **options)
    if result.returncode != 0:
        fail('%s failed:\n%s%s' % (what, result.stdout, result.stderr))
    return result.stdout


def identity(path):
    given = certificate()
    text = 'unsigned\n'
    if given:
        with open(given[0], 'rb') as pkcs12:
            text = 'sha256 %s timestamp %s\n' % (hashlib.sha256(pkcs12.read()).hexdigest(),
                                                  os.environ.get('ORVEX_SIGN_TIMESTAMP', 'none'))
    if os.path.exists(path):
        with open(path) as noted:
            if noted.read() == text:
                return
    with open(path, 'w') as out:
        out.write(text)


def sign(files):
    given = certificate()
    if not given:
        return
    pkcs12, password = given
    timestamp = os.environ.get('ORVEX_SIGN_TIMESTAMP', '')
    with tempfile.TemporaryDirectory() as work:
        # Through a file, so that the password shows in no process list.
        secret = os.path.join(work, 'password')
        with open(os.open(secret, os.O_WRONLY | os.O_CREAT, 0o600), 'w') as out:
            out.write(password)
        for path in files:
            signed = os.path.join(work, os.path.basename(path))
            command = ['osslsigncode', 'sign', '-pkcs12', pkcs12, '-readpass', secret, '-h', 'sha256',
                       '-n', os.path.splitext(os.path.basename(path))[0]]
            if timestamp:
                command += ['-ts', timestamp]
            try:
                run(command + ['-in', path, '-out', signed], 'signing ' + path)
            except SystemExit:
                os.remove(path)  # an unsigned file must not pass for a signed one at the next build
                raise
            os.replace(signed, path)


def verify(files):
    given = certificate()
    if not given:
        print('signing: no certificate given (ORVEX_SIGN_PKCS12); nothing to verify')
        sys.exit(SKIPPED)
    pkcs12, password = given
    with tempfile.TemporaryDirectory() as work:
        anchor = os.path.join(work, 'certificate.pem')
        run(['openssl', 'pkcs12', '-in', pkcs12, '-nokeys', '-clcerts', '-passin', 'env:ORVEX_SIGN_PASSWORD',
             '-out', anchor], 'reading the certificate of ' + pkcs12, env=dict(os.environ, ORVEX_SIGN_PASSWORD=password))
        for path in files:
            inside = []
            if path.lower().endswith('.msi'):
                # The modules as the package carries them: signed before they went in.
                unpacked = os.path.join(work, os.path.basename(path))
                run(['msiextract', '-C', unpacked, path], 'unpacking ' + path)
                inside = [os.path.join(folder, name) for folder, _, names in os.walk(unpacked)
                          for name in names if name.lower().endswith('.dll')]
                if not inside:
                    fail(path + ' carries no module')
            for signed in [path] + sorted(inside):
                run(['osslsigncode', 'verify', '-CAfile', anchor, '-in', signed], 'verifying ' + signed)
                print('signing: %s: signature verified' % os.path.relpath(signed, work if signed in inside else '.'))


def main():
    if len(sys.argv) < 3 or sys.argv[1] not in ('identity', 'sign', 'verify'):
        sys.exit(__doc__)
    command, arguments = sys.argv[1], sys.argv[2:]
    if command == 'identity':
        identity(arguments[0])
    elif command == 'sign':
        sign(arguments)
    else:
        verify(arguments)


if __name__ == '__main__':
    main()
