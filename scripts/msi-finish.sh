#!/bin/bash
# Sets in a package built by wixl what wixl cannot write, in one msibuild run.
#   msi-finish.sh PACKAGE [OPTION]...
#     --file KEY PE              File.Version and File.Language from the PE's
#                                version resource; its hash row goes
#     --vendor-file KEY PE       as --file when the PE has a version resource;
#                                else it stays unversioned, with its hash
#     --property NAME=VALUE      a Property row; an empty VALUE adds none
# Any failure ends it with a message and a non-zero exit.
set -euo pipefail
trap 'echo "scripts/msi-finish.sh: failed at line $LINENO: $BASH_COMMAND" >&2' ERR

MSI=$1
shift

# Only SYSTEM and the Administrators may change the install folder; users
# read and run. Inheritable, so that every file in it gets the same list.
readonly FOLDER_SDDL='D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)'
# An executable in a file of the package, deferred, run as LocalSystem
# (18 | 0x400 | 0x800), only while the install is rolled back (0x100).
readonly ROLLBACK_EXE_TYPE=3346
readonly ROLLBACK_ACTIONS=(UndoInstallService UndoRemoveService UndoRemoveOlderService)
# A property set from a formatted text, run where it is sequenced.
readonly SET_PROPERTY_TYPE=51
# An executable stored in the Binary table, run where it is sequenced.
readonly BINARY_EXE_TYPE=2
# MigrateFeatures | VersionMaxInclusive: a rebuild of the same version
# replaces the installed one.
readonly UPGRADE_SAME_VERSION=513
readonly UPGRADE_MIGRATE_FEATURES=1

queries=()
q() { queries+=("$1"); }

# VS_FIXEDFILEINFO starts with its signature; the file version follows its
# structure version. Translation's first word is the language.
pe_version()
{
    local offset ms ls
    offset=$(LC_ALL=C grep -m1 -obUaP '\xbd\x04\xef\xfe' "$1" | cut -d: -f1) || return 1
    read -r ms ls < <(od -An -tu4 -j $((offset + 8)) -N8 "$1")
    echo "$((ms >> 16)).$((ms & 0xffff)).$((ls >> 16)).$((ls & 0xffff))"
}
pe_language()
{
    local key
    key=$(LC_ALL=C grep -m1 -obUaP 'T\x00r\x00a\x00n\x00s\x00l\x00a\x00t\x00i\x00o\x00n\x00\x00\x00' "$1" |
          cut -d: -f1) || return 1
    od -An -tu2 -j $(( (key + 24 + 3) / 4 * 4 )) -N2 "$1" | tr -d ' '
}

set_file_version()
{
    q "UPDATE \`File\` SET \`Version\` = '$2', \`Language\` = '$3' WHERE \`File\` = '$1'"
    q "DELETE FROM \`MsiFileHash\` WHERE \`File_\` = '$1'"
}

while [ $# -gt 0 ]; do
    case $1 in
    --file | --vendor-file)
        if version=$(pe_version "$3") && language=$(pe_language "$3"); then
            set_file_version "$2" "$version" "$language"
        elif [ "$1" = --file ]; then
            echo "msi-finish.sh: $3 has no version resource with a language" >&2
            exit 1
        fi
        shift 3 ;;
    --property)
        # The installer's SQL cannot quote a quote.
        name=${2%%=*} value=${2#*=}
        case $value in *"'"*) echo "msi-finish.sh: $name may not hold a single quote" >&2; exit 2 ;; esac
        [ -z "$value" ] || q "INSERT INTO \`Property\` (\`Property\`, \`Value\`) VALUES ('$name', '$value')"
        shift 2 ;;
    *)
        echo "msi-finish.sh: unknown option $1" >&2
        exit 2 ;;
    esac
done

for action in "${ROLLBACK_ACTIONS[@]}"; do
    q "UPDATE \`CustomAction\` SET \`Type\` = $ROLLBACK_EXE_TYPE WHERE \`Action\` = '$action'"
done
q "UPDATE \`CustomAction\` SET \`Type\` = $SET_PROPERTY_TYPE WHERE \`Action\` = 'SetInstallLocation'"
# wixl has no custom action that runs a stored program.
q "INSERT INTO \`CustomAction\` (\`Action\`, \`Type\`, \`Source\`, \`Target\`)
   VALUES ('RefuseUsedFolder', $BINARY_EXE_TYPE, 'FolderCheck', '\"[INSTALLDIR].\"')"

# The upgrade row's attributes are part of its key: replace the row.
read -r code maximum property < <(msiinfo export "$MSI" Upgrade | tr -d '\r' | tail -n +4 |
    awk -F'\t' -v a=$UPGRADE_MIGRATE_FEATURES '$5 == a { print $1, $3, $7 }')
[ -n "$maximum" ] || { echo "msi-finish.sh: $MSI has no upgrade row for older versions" >&2; exit 1; }
q "DELETE FROM \`Upgrade\` WHERE \`Attributes\` = $UPGRADE_MIGRATE_FEATURES"
q "INSERT INTO \`Upgrade\` (\`UpgradeCode\`, \`VersionMax\`, \`Attributes\`, \`ActionProperty\`)
   VALUES ('$code', '$maximum', $UPGRADE_SAME_VERSION, '$property')"

q "CREATE TABLE \`MsiLockPermissionsEx\` (\`MsiLockPermissionsEx\` CHAR(72) NOT NULL,
   \`LockObject\` CHAR(72) NOT NULL, \`Table\` CHAR(32) NOT NULL, \`SDDLText\` LONGCHAR NOT NULL,
   \`Condition\` CHAR(255) PRIMARY KEY \`MsiLockPermissionsEx\`)"
q "INSERT INTO \`MsiLockPermissionsEx\` (\`MsiLockPermissionsEx\`, \`LockObject\`, \`Table\`, \`SDDLText\`)
   VALUES ('InstallFolder', 'INSTALLDIR', 'CreateFolder', '$FOLDER_SDDL')"

args=()
for query in "${queries[@]}"; do args+=(-q "$query"); done
msibuild "$MSI" "${args[@]}"
