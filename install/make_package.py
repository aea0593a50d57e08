#!/usr/bin/env python3
"""Builds OrvexSE's Windows Installer package (OrvexSE.wxs) with wixl.

The package writes the registry entries that the module's DllRegisterServer writes, plus the shell
entries that make the shell load the classes, and it takes them from the same sources, so that
the two cannot drift apart:
  resources/registration/ClassScript.rgs  the registry script every class is registered with
  resources/registration/Classes.inc      each class's ProgIDs and friendly name
  resources/OrvexShellExtensions.idl      the identifiers, and the type library's interfaces
  install/ShellEntries.rgs                the context-menu handler keys and the Approved list
The scripts are read the way the module's registrar reads them. The type library's entries are
those RegisterTypeLib makes: its key per platform and the interfaces it marks dual or oleautomation.
Each module's entries go into the component of that module's file, so that Windows Installer
writes them into the registry view of the module's architecture. Windows Installer removes every
value it wrote when the package goes; a key the scripts do not mark NoRemove goes with its whole
subtree, as in the module's unregistration. No self-registration: nothing runs the module.

wixl records every file as unversioned, with a hash. The modules' rows then get the version and
language of each module's own version information, and lose their hashes: Windows Installer
replaces a versioned file by its version (an unversioned row loses to any versioned file on disk),
so that a repair, or an upgrade that finds the older module still in place (loaded, so not yet
removed), puts the package's module in place of an older one. Where a certificate is given
(signing.py), the package is signed last.

Usage: make_package.py --arch x64|x86 --version 1.2.3 --product NAME --maker NAME --icon FILE
                       --module x64=DLL [--module x86=DLL] --output OrvexSE-1.2.3-x64.msi [--wixl PATH]
                       [--msibuild PATH]
The x64 package needs both modules, the x86 one only the x86 module.
"""

import argparse
import os
import re
import struct
import subprocess
import sys
import tempfile
import uuid
from xml.sax.saxutils import quoteattr

HERE = os.path.dirname(os.path.abspath(__file__))
RESOURCES = os.path.join(HERE, '..', 'resources')

# A release's product code follows from its version and architecture: a package rebuilt for the same
# release is the same product, which Windows Installer will not install a second time beside
# itself; a new version is a new product, which replaces the old one (a major upgrade).
PRODUCT_CODES = uuid.UUID('6C1B5E0A-3F7D-4E52-9A61-2B8F4D0C7E15')
# Proxy and stub of every dual and oleautomation interface: the system's type-library marshaler.
TYPELIB_MARSHALER = '{00020424-0000-0000-C000-000000000046}'
HIVES = {'HKCR': 'HKCR', 'HKEY_CLASSES_ROOT': 'HKCR', 'HKCU': 'HKCU', 'HKEY_CURRENT_USER': 'HKCU',
         'HKLM': 'HKLM', 'HKEY_LOCAL_MACHINE': 'HKLM'}


def fail(text):
    sys.exit('make_package: ' + text)


def read(path):
    with open(path, encoding='utf-8') as source:
        return source.read()


def literal(text):
    """Text as a Windows Installer formatted string that stands for itself."""
    return re.sub(r'[\[\]]', lambda bracket: '[\\' + bracket.group(0) + ']', text)


class Key:
    def __init__(self, name, mark):
        self.name, self.mark = name, mark
        self.default = None
        self.values = []
        self.subkeys = []


class ScriptReader:
    """A registry script as the module's registrar reads it, into (hive, keys) pairs. Every name
    and value comes out as a formatted string: the script's own text literally, and each
    %NAME% as the formatted text given for it ("%%" is one percent sign)."""

    TOKEN = re.compile(r"\s*(?:([{}=])|'((?:[^']|'')*)'|([^\s{}=']+))")

    def __init__(self, text, replacements):
        self.tokens = []
        position, end = 0, len(text.rstrip())
        while position < end:
            match = self.TOKEN.match(text, position)
            if not match:
                fail('unreadable registry script near: ' + text[position:position + 40])
            symbol, quoted, word = match.groups()
            if symbol:
                self.tokens.append(('symbol', symbol))
            else:
                raw = quoted.replace("''", "'") if quoted is not None else word
                self.tokens.append(('quoted' if quoted is not None else 'word', self.replace(raw, replacements)))
            position = match.end()
        self.next = 0

    @staticmethod
    def replace(raw, replacements):
        parts = re.split(r'%([^%]*)%', raw)
        if len(parts) % 2 == 0 or '%' in parts[-1]:
            fail('unclosed replacement in ' + raw)
        out = ''
        for index, part in enumerate(parts):
            if index % 2 == 0:
                out += literal(part)
            elif part == '':
                out += '%'
            elif part.lower() in replacements:
                out += replacements[part.lower()]
            else:
                fail('no value for %' + part + '%')
        return out

    def take(self):
        if self.next >= len(self.tokens):
            fail('registry script ends early')
        self.next += 1
        return self.tokens[self.next - 1]

    def peek(self, symbol):
        return self.next < len(self.tokens) and self.tokens[self.next] == ('symbol', symbol)

    def expect(self, symbol):
        if self.take() != ('symbol', symbol):
            fail('expected "%s" in registry script' % symbol)

    def name(self):
        kind, text = self.take()
        if kind == 'symbol' or not text or '\\' in text:
            fail('bad key or value name: ' + text)
        return text

    def string_value(self):
        self.expect('=')
        kind, text = self.take()
        if kind != 'word' or text.lower() != 's':
            fail('only string values ("= s \'text\'") are allowed')
        kind, text = self.take()
        if kind == 'symbol':
            fail('a value is missing')
        return text

    def block(self, owner, values_allowed):
        while not self.peek('}'):
            kind, text = self.take()
            if kind == 'word' and text.lower() == 'val':
                if not values_allowed:
                    fail('a value right under a root')
                owner.values.append((self.name(), self.string_value()))
                continue
            mark = text.lower() if kind == 'word' and text.lower() in ('noremove', 'forceremove') else None
            if mark is None:
                self.next -= 1
            key = Key(self.name(), mark)
            if self.peek('='):
                key.default = self.string_value()
            if self.peek('{'):
                self.expect('{')
                self.block(key, True)
            owner.subkeys.append(key)
        self.expect('}')

    def roots(self):
        roots = []
        while self.next < len(self.tokens):
            kind, text = self.take()
            if kind != 'word' or text.upper() not in HIVES:
                fail('unknown registry root: ' + text)
            self.expect('{')
            top = Key(None, 'noremove')
            self.block(top, False)
            roots.append((HIVES[text.upper()], top.subkeys))
        return roots


def registry_rows(script, replacements):
    """The Registry table rows of a script, as (root, key, name, value); name None is the default
    value. "*" makes a key on install and removes it with its subtree on uninstall, "+" only makes
    it (a key that holds no value would not exist otherwise)."""
    rows = []

    def walk(root, key, parent, removable_parent):
        path = parent + '\\' + key.name if parent else key.name
        removed_here = key.mark != 'noremove' and not removable_parent
        if removed_here:
            rows.append((root, path, '*', ''))
        if key.default is not None:
            rows.append((root, path, None, key.default))
        rows.extend((root, path, name, value) for name, value in key.values)
        if not (removed_here or key.default is not None or key.values or key.subkeys):
            rows.append((root, path, '+', ''))
        for subkey in key.subkeys:
            walk(root, subkey, path, removable_parent or key.mark != 'noremove')

    for root, keys in ScriptReader(script, replacements).roots():
        for key in keys:
            walk(root, key, '', False)
    # A value that starts with "#" is a number to Windows Installer; "##" is a string that starts with "#".
    return [(root, key, name, '#' + value if value.startswith('#') else value) for root, key, name, value in rows]


class Idl:
    """The identifiers and attributes of the module's IDL: each [attributes] kind Name with a uuid."""

    def __init__(self, text):
        self.items = {}
        for attributes, kind, name in re.findall(r'\[([^\[\]]*)\]\s*(interface|library|coclass)\s+(\w+)', text):
            uuid = re.search(r'uuid\(([0-9A-Fa-f-]{36})\)', attributes)
            if uuid:
                self.items[name] = {'kind': kind, 'uuid': '{' + uuid.group(1).upper() + '}', 'attributes': attributes}

    def of_kind(self, kind):
        return [(name, item) for name, item in self.items.items() if item['kind'] == kind]

    def guid(self, name):
        if name not in self.items:
            fail(name + ' is not in the IDL')
        return self.items[name]['uuid']

    @staticmethod
    def attribute(item, name, default=''):
        found = re.search(name + r'\(\s*"?([^")]*)"?\s*\)', item['attributes'])
        return found.group(1) if found else default


def type_library_script(idl, arch, with_help_folder):
    """The entries RegisterTypeLib makes for the library, as a registry script."""
    [(name, library)] = idl.of_kind('library')
    version = Idl.attribute(library, 'version', '1.0')
    locale = '%x' % int(Idl.attribute(library, 'lcid', '0'), 0)
    platform = 'win64' if arch == 'x64' else 'win32'
    description = Idl.attribute(library, 'helpstring', name).replace("'", "''")
    help_folder = "HELPDIR = s '%MODULEFOLDER%'" if with_help_folder else ''
    script = ("HKCR { NoRemove TypeLib { '%s' { '%s' = s '%s' { '%s' { %s = s '%%MODULE%%' } FLAGS = s '0' %s } } }"
              % (library['uuid'], version, description, locale, platform, help_folder))
    script += ' NoRemove Interface {'
    for interface, item in idl.of_kind('interface'):
        if re.search(r'\b(dual|oleautomation)\b', item['attributes']):
            script += (" '%s' = s '%s' { ProxyStubClsid = s '%s' ProxyStubClsid32 = s '%s'"
                       " TypeLib = s '%s' { val Version = s '%s' } }"
                       % (item['uuid'], interface, TYPELIB_MARSHALER, TYPELIB_MARSHALER, library['uuid'], version))
    return script + ' } }'


def read_classes(idl):
    """The rows of Classes.inc: (coclass, ProgID, version-independent ProgID, friendly name)."""
    text = read(os.path.join(RESOURCES, 'registration', 'Classes.inc'))
    rows = re.findall(r'^\{&CLSID_(\w+), "([^"]*)", "([^"]*)", "([^"]*)"\},$', text, re.M)
    if len(rows) != len(re.findall(r'^\{', text, re.M)) or not rows:
        fail('Classes.inc has a row this script cannot read')
    for coclass, *_ in rows:
        idl.guid(coclass)
    return rows


def module_rows(arch, package_arch, idl, classes):
    """Everything the package writes for one module: its classes, its type library and the shell
    entries. The type library's key is shared by both registry views on 64-bit Windows; its help
    folder is the 64-bit module's there, as if that module were registered last."""
    module = '[#Module_%s]' % arch
    common = {'module': module, 'module_raw': module, 'moduletype': 'InprocServer32', 'appid': '',
              'moduleguid': idl.of_kind('library')[0][1]['uuid'], 'modulefolder': '[Folder_%s]' % arch}
    rows = []
    class_script = read(os.path.join(RESOURCES, 'registration', 'ClassScript.rgs'))
    shell = {}
    for coclass, prog_id, independent_prog_id, friendly_name in classes:
        clsid = idl.guid(coclass)
        rows += registry_rows(class_script, dict(common, friendlyname=literal(friendly_name), progid=literal(prog_id),
                                                 versionindependentprogid=literal(independent_prog_id), clsid=clsid))
        shell['clsid_' + coclass.lower()] = clsid
        shell['friendlyname_' + coclass.lower()] = literal(friendly_name)
    rows += registry_rows(type_library_script(idl, arch, arch == package_arch), common)
    rows += registry_rows(read(os.path.join(HERE, 'ShellEntries.rgs')), shell)
    return rows


def file_version(path):
    """The file version and language of a module's version information (its VS_VERSIONINFO), as
    the File table holds them: "1.2.3.0" and the decimal language identifier."""
    with open(path, 'rb') as module:
        data = module.read()
    key = 'VS_VERSION_INFO\0'.encode('utf-16-le')
    start = data.find(key) - 6  # after wLength, wValueLength and wType
    if start < 0:
        fail(path + ' has no version information')
    block = data[start:start + struct.unpack_from('<H', data, start)[0]]

    def aligned(offset):
        return (offset + 3) & ~3

    signature, _, high, low = struct.unpack_from('<4I', block, aligned(6 + len(key)))
    translation = 'Translation\0'.encode('utf-16-le')
    found = block.find(translation)
    if signature != 0xFEEF04BD or found < 0:
        fail(path + ' has unreadable version information')
    language = struct.unpack_from('<H', block, aligned(found + len(translation)))[0]
    return '%d.%d.%d.%d' % (high >> 16, high & 0xFFFF, low >> 16, low & 0xFFFF), str(language)


def version_modules(package, modules, msibuild):
    """Makes the modules' File rows versioned, as their files are."""
    queries = []
    for arch, path in sorted(modules.items()):
        version, language = file_version(path)
        queries += ['-q', "UPDATE `File` SET `Version` = '%s', `Language` = '%s' WHERE `File` = 'Module_%s'"
                    % (version, language, arch),
                    '-q', "DELETE FROM `MsiFileHash` WHERE `File_` = 'Module_%s'" % arch]
    result = subprocess.run([msibuild, package] + queries, capture_output=True, text=True)
    if result.returncode != 0 or result.stderr.strip():
        fail('msibuild failed:\n' + result.stderr)


def write_include(path, rows):
    lines = ['<?xml version="1.0" encoding="utf-8"?>',
             '<!-- Written by make_package.py from the module\'s registration sources. -->', '<Include>']
    for root, key, name, value in rows:
        named = '' if name is None else ' Name=%s' % quoteattr(name)
        lines.append('  <RegistryValue Root="%s" Key=%s%s Type="string" Value=%s />'
                     % (root, quoteattr(key), named, quoteattr(value)))
    lines.append('</Include>')
    with open(path, 'w', encoding='utf-8') as out:
        out.write('\n'.join(lines) + '\n')


def main():
    parser = argparse.ArgumentParser(description='Builds the OrvexSE Windows Installer package.')
    parser.add_argument('--arch', choices=('x64', 'x86'), required=True)
    parser.add_argument('--version', required=True)
    parser.add_argument('--product', required=True)
    parser.add_argument('--maker', required=True)
    parser.add_argument('--icon', required=True)
    parser.add_argument('--module', action='append', default=[], metavar='ARCH=DLL')
    parser.add_argument('--output', required=True)
    parser.add_argument('--wixl', default='wixl')
    parser.add_argument('--msibuild', default='msibuild')
    options = parser.parse_args()

    modules = dict(entry.split('=', 1) for entry in options.module)
    needed = ['x64', 'x86'] if options.arch == 'x64' else ['x86']
    if sorted(modules) != sorted(needed):
        fail('the %s package takes the modules %s' % (options.arch, ' and '.join(needed)))
    for path in modules.values():
        if not os.path.isfile(path):
            fail(path + ' does not exist; build that architecture first (scripts/build.sh builds it)')

    os.makedirs(os.path.dirname(os.path.abspath(options.output)), exist_ok=True)
    idl = Idl(read(os.path.join(RESOURCES, 'OrvexShellExtensions.idl')))
    classes = read_classes(idl)
    with tempfile.TemporaryDirectory() as work:
        # wixl finds files only by paths relative to the folder it runs in.
        def source(path):
            return os.path.relpath(path, work)

        product_code = uuid.uuid5(PRODUCT_CODES, options.version + '-' + options.arch)
        defines = {'Arch': options.arch, 'Version': options.version, 'ProductCode': str(product_code).upper(),
                   'ProductName': options.product, 'Maker': options.maker, 'Icon': source(options.icon),
                   'SetPasses': source(os.path.join(HERE, 'set-passes.js'))}
        for arch in needed:
            write_include(os.path.join(work, 'registry-%s.wxi' % arch), module_rows(arch, options.arch, idl, classes))
            defines['Module_' + arch] = source(modules[arch])
        command = [options.wixl, '--arch', options.arch, '--includedir', work, '--output', os.path.abspath(options.output)]
        for name, value in defines.items():
            command += ['--define', '%s=%s' % (name, value)]
        result = subprocess.run(command + [os.path.join(HERE, 'OrvexSE.wxs')], cwd=work, capture_output=True, text=True)
        # wixl reports problems as warnings and still writes a package: any output is a fault.
        if result.returncode != 0 or result.stderr.strip():
            if os.path.exists(options.output):
                os.remove(options.output)
            fail('wixl failed:\n' + result.stderr)
    try:
        version_modules(options.output, modules, options.msibuild)
        subprocess.run([sys.executable, os.path.join(HERE, 'signing.py'), 'sign', options.output], check=True)
    except BaseException:
        if os.path.exists(options.output):
            os.remove(options.output)
        raise


if __name__ == '__main__':
    main()
