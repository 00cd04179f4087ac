"""The settings side of the mock bridge: a controller's settings as one value
per profile field, the profile the bridge exports from them, the checks of a
profile sent by the page (in English or Chinese), the write plan with
Modbus frames, and the write itself. The field table follows the bridge's
kProfileFields (src/profile/ProfileFields.cpp): same paths, order, needs
and limits, in the units a profile uses.
"""
import json

BATTERY_TYPES = ['User-Diy', 'FLD', 'SEL', 'GEL', 'Li-ion']
LOAD_MODES = ['Light Mode', 'Light&Time Mode', 'Dual Timer Mode', 'On Mode', 'Off Mode']
SYSTEM_VOLTAGES = ['Auto'] + [f'{12 * i}V' for i in range(1, 41)]
WORD = 0xFFFF


def _tenths(path, need, code, slot, unit='V'):
    return {'path': path, 'kind': 'number', 'decimals': 1, 'min': 0.0, 'max': WORD / 10, 'unit': unit,
            'need': need, 'code': code, 'slot': slot}


def _whole(path, need, code, slot, unit='', low=0, high=WORD):
    return {'path': path, 'kind': 'number', 'decimals': 0, 'min': low, 'max': high, 'unit': unit,
            'need': need, 'code': code, 'slot': slot}


def _list(path, options, need, code, slot):
    return {'path': path, 'kind': 'list', 'options': options, 'need': need, 'code': code, 'slot': slot}


FIELDS = [
    _list('battery.type', BATTERY_TYPES, 'always', 10, 0),
    _list('battery.systemVoltage', SYSTEM_VOLTAGES, 'lead_acid', 10, 1),
    _tenths('battery.maxChargeCurrent', 'always', 10, 4, 'A'),
    _tenths('battery.maxLoadCurrent', 'always', 10, 5, 'A'),
    _whole('battery.equalizeMinutes', 'lead_acid', 10, 7, 'min'),
    _tenths('leadAcid.chargeVoltage', 'user_diy', 10, 2),
    _tenths('leadAcid.floatVoltage', 'user_diy', 10, 3),
    _tenths('leadAcid.equalizeVoltage', 'user_diy', 10, 6),
    _tenths('leadAcid.overVoltageProtect', 'lead_acid', 11, 0),
    _tenths('leadAcid.overVoltageRecover', 'lead_acid', 11, 1),
    _tenths('leadAcid.lowVoltageProtect', 'lead_acid', 11, 2),
    _tenths('leadAcid.lowVoltageRecover', 'lead_acid', 11, 3),
    _tenths('lithium.chargeVoltage', 'lithium', 12, 0),
    _tenths('lithium.nominalVoltage', 'lithium', 12, 1),
    _tenths('lithium.lowVoltageProtect', 'lithium', 12, 2),
    _tenths('lithium.overVoltageProtect', 'lithium', 12, 3),
    _tenths('lithium.lowVoltageRecover', 'lithium', 12, 4),
    _tenths('lithium.overVoltageRecover', 'lithium', 12, 5),
    _list('load.mode', LOAD_MODES, 'always', 13, 0),
    _whole('load.eveningHours', 'light_time_mode', 13, 0, 'h', 1, 15),
    _whole('load.morningHours', 'light_time_mode', 13, 1, 'h', 0, 99),
    _tenths('load.onVoltage', 'light_modes', 13, 2),
    _tenths('load.offVoltage', 'light_modes', 13, 3),
    _whole('load.onDelay', 'light_mode', 13, 4, 'min'),
    _whole('load.offDelay', 'light_mode', 13, 5, 'min'),
] + [_whole(f'load.{timer}.{part}', 'dual_timer_mode', 13, 6 + 4 * t + p)
     for t, timer in enumerate(['timer1', 'timer2'])
     for p, part in enumerate(['onHour', 'onMinute', 'offHour', 'offMinute'])]
BY_PATH = {f['path']: f for f in FIELDS}
IDENTITY = ['format', 'model', 'serialNumber', 'firmware', 'exportedAt']

BLOCKS = {
    10: ('battery settings (0x0101-0x0108)', '电池参数 (0x0101-0x0108)', 0x0101, 8),
    11: ('protection voltages (0x0114-0x0117)', '保护电压 (0x0114-0x0117)', 0x0114, 4),
    12: ('lithium voltages (0x0118-0x011D)', '锂电池电压 (0x0118-0x011D)', 0x0118, 6),
    13: ('load control (0x010A-0x0113)', '负载控制 (0x010A-0x0113)', 0x010A, 14),
    50: ('battery-type frame (0xAA)', '电池类型帧 (0xAA)', 0x00AA, 1),
}

MESSAGES = {
    'en': {
        'missing': 'missing', 'by_type': 'missing; battery type {0} needs it',
        'by_mode': 'missing; load mode {0} needs it', 'number': 'expected a number, got {0}',
        'whole': 'expected a whole number, got {0}', 'text': 'expected a string, got {0}',
        'object': 'expected an object { ... }, got {0}', 'decimal': '{0} has more than one decimal',
        'range': '{0} is outside {1} to {2}', 'entry': '"{0}" is not one of {1}', 'unknown': 'unknown key',
        'not_object': 'a profile is a JSON object { ... }',
        'below': "must not be below {0}, or the controller's lead-acid block is refused when read back",
        'above': "must not be above {0}, or the controller's lead-acid block is refused when read back",
        'float': 'the float voltage must not be above the charge voltage',
        'nothing': '{0} errors; nothing written', 'written': 'settings written and read back',
        'unchanged': 'nothing to write: the controller already has these values',
        'refused': 'writing load control (0x010A-0x0113) failed: exception (exception code 4)',
        'mismatch': 'the controller read back other values than were written',
    },
    'zh': {
        'missing': '缺少此项', 'by_type': '缺少此项；电池类型 {0} 需要此项',
        'by_mode': '缺少此项；负载模式 {0} 需要此项', 'number': '应为数字，实际为 {0}',
        'whole': '应为整数，实际为 {0}', 'text': '应为字符串，实际为 {0}',
        'object': '应为对象 { ... }，实际为 {0}', 'decimal': '{0} 的小数多于一位',
        'range': '{0} 超出范围 {1} ~ {2}', 'entry': '"{0}" 不是以下之一：{1}', 'unknown': '未知的键',
        'not_object': '配置文件应为 JSON 对象 { ... }',
        'below': '不得低于 {0}，否则读回控制器的铅酸参数时会被拒绝',
        'above': '不得高于 {0}，否则读回控制器的铅酸参数时会被拒绝',
        'float': '浮充电压不得高于充电电压',
        'nothing': '共 {0} 处错误；未写入任何内容', 'written': '设置已写入并读回',
        'unchanged': '无需写入：控制器已是这些值',
        'refused': '写入负载控制 (0x010A-0x0113) 失败：异常（异常码 4）',
        'mismatch': '控制器读回的值与写入的不同',
    },
}


def public_fields():
    """The `fields` list of GET .../settings: the table without write positions."""
    return [{k: v for k, v in f.items() if k not in ('code', 'slot')} for f in FIELDS]


def needed(field, battery_type, mode):
    need = field['need']
    return {
        'always': True,
        'lead_acid': battery_type != 'Li-ion',
        'user_diy': battery_type == 'User-Diy',
        'lithium': battery_type == 'Li-ion',
        'light_modes': mode in ('Light Mode', 'Light&Time Mode'),
        'light_mode': mode == 'Light Mode',
        'light_time_mode': mode == 'Light&Time Mode',
        'dual_timer_mode': mode == 'Dual Timer Mode',
    }[need]


def export(identity, values, exported_at):
    """The profile as the bridge exports it: the charge voltages of a preset
    battery type and the durations of another load mode are left out."""
    profile = {'format': 1, **identity, 'exportedAt': exported_at}
    for field in FIELDS:
        value = values.get(field['path'])
        if value is None or (field['need'] == 'user_diy' and values.get('battery.type') != 'User-Diy'):
            continue
        if field['path'] == 'load.eveningHours' and values.get('load.mode') != 'Light&Time Mode':
            continue
        at = profile
        *groups, last = field['path'].split('.')
        for group in groups:
            at = at.setdefault(group, {})
        at[last] = value
    return profile


def show(field, value):
    if value is None:
        return '--'
    if field['kind'] == 'list':
        return value
    text = f'{value:.1f}' if field['decimals'] else str(value)
    return f"{text} {field['unit']}" if field['unit'] else text


def _json_type(value):
    if isinstance(value, bool):
        return 'boolean'
    if value is None:
        return 'null'
    return {str: 'string', dict: 'object', list: 'array'}.get(type(value), 'number')


def _dump(value):
    return json.dumps(value, ensure_ascii=False)


def read(profile, lang):
    """Checks a profile as the bridge does: returns (values, problems)."""
    words = MESSAGES[lang]
    problems = []
    values = {}
    if not isinstance(profile, dict):
        return {}, [{'field': '', 'message': words['not_object']}]

    def walk(prefix, node):
        for key, value in node.items():
            path = f'{prefix}{key}'
            if not prefix and key in IDENTITY:
                continue
            if path in BY_PATH:
                value_of(BY_PATH[path], value)
            elif any(f.startswith(path + '.') for f in BY_PATH):
                if isinstance(value, dict):
                    walk(path + '.', value)
                else:
                    problems.append({'field': path, 'message': words['object'].format(_json_type(value))})
            else:
                problems.append({'field': path, 'message': words['unknown']})

    def value_of(field, value):
        path = field['path']
        fail = lambda key, *args: problems.append({'field': path, 'message': words[key].format(*args)})
        if field['kind'] == 'list':
            if not isinstance(value, str):
                return fail('text', _json_type(value))
            if value not in field['options']:
                shown = ', '.join(f'"{o}"' for o in field['options'][:5])
                return fail('entry', value, shown)
            values[path] = value
            return
        if isinstance(value, bool) or not isinstance(value, (int, float)):
            return fail('number' if field['decimals'] else 'whole', _dump(value))
        if field['decimals']:
            if abs(value * 10 - round(value * 10)) > 1e-6:
                return fail('decimal', _dump(value))
            if not field['min'] <= value <= field['max']:
                return fail('range', _dump(value), f"{field['min']:.1f}", f"{field['max']:.1f}")
            values[path] = round(float(value), 1)
        else:
            if isinstance(value, float) and not value.is_integer():
                return fail('whole', _dump(value))
            if not field['min'] <= value <= field['max']:
                return fail('range', _dump(value), field['min'], field['max'])
            values[path] = int(value)

    walk('', profile)
    erred = {p['field'] for p in problems}
    battery_type, mode = values.get('battery.type'), values.get('load.mode')
    for field in FIELDS:
        path = field['path']
        if path in values or path in erred:
            continue
        if field['need'] == 'always':
            problems.append({'field': path, 'message': words['missing']})
        elif path.startswith('load.') and mode and needed(field, battery_type, mode):
            problems.append({'field': path, 'message': words['by_mode'].format(mode)})
        elif not path.startswith('load.') and battery_type and needed(field, battery_type, mode):
            problems.append({'field': path, 'message': words['by_type'].format(battery_type)})
    erred = {p['field'] for p in problems}

    def cross(path, bad, key, other):
        if path not in erred and bad:
            problems.append({'field': path, 'message': words[key].format(other)})
    v = values.get
    if all(v(f'leadAcid.{k}') is not None for k in
           ('overVoltageProtect', 'overVoltageRecover', 'lowVoltageProtect', 'lowVoltageRecover')):
        cross('leadAcid.overVoltageProtect', v('leadAcid.overVoltageProtect') < v('leadAcid.lowVoltageProtect'),
              'below', 'leadAcid.lowVoltageProtect')
        cross('leadAcid.overVoltageRecover', v('leadAcid.overVoltageRecover') > v('leadAcid.overVoltageProtect'),
              'above', 'leadAcid.overVoltageProtect')
        cross('leadAcid.lowVoltageRecover', v('leadAcid.lowVoltageRecover') < v('leadAcid.lowVoltageProtect'),
              'below', 'leadAcid.lowVoltageProtect')
    if v('leadAcid.floatVoltage') is not None and v('leadAcid.chargeVoltage') is not None:
        cross('leadAcid.floatVoltage', v('leadAcid.floatVoltage') > v('leadAcid.chargeVoltage'), 'float', '')
    return values, problems


def _crc(data):
    crc = 0xFFFF
    for byte in data:
        crc ^= byte
        for _ in range(8):
            crc = (crc >> 1) ^ 0xA001 if crc & 1 else crc >> 1
    return bytes([crc & 0xFF, crc >> 8])


def _frame(address, start, words):
    body = bytes([address, 0x10, start >> 8, start & 0xFF, 0, len(words), 2 * len(words)])
    for word in words:
        body += bytes([(word >> 8) & 0xFF, word & 0xFF])
    return ' '.join(f'{b:02X}' for b in body + _crc(body))


def _word(field, value):
    if value is None:
        return 0
    if field['kind'] == 'list':
        return field['options'].index(value)
    return int(round(value * 10)) if field['decimals'] else int(value)


def plan(current, wanted, address, lang):
    """The writes that take the controller from `current` to `wanted`: one
    per register block with a changed field, and the battery-type frame when
    the type changes. Changed fields are listed with their shown values."""
    merged = {**current, **wanted}
    writes = []
    for code, (en, zh, start, count) in BLOCKS.items():
        if code == 50:
            if wanted.get('battery.type', current.get('battery.type')) == current.get('battery.type'):
                continue
            changes = []
            words = [BATTERY_TYPES.index(wanted['battery.type'])]
        else:
            fields = [f for f in FIELDS if f['code'] == code]
            changes = [{'field': f['path'], 'from': show(f, current.get(f['path'])), 'to': show(f, wanted[f['path']])}
                       for f in fields if f['path'] in wanted and wanted[f['path']] != current.get(f['path'])]
            if not changes:
                continue
            words = [0] * count
            for f in fields:
                words[f['slot']] = _word(f, merged.get(f['path'])) or words[f['slot']]
        writes.append({'block': en if lang == 'en' else zh, 'code': code,
                       'frames_hex': _frame(address, start, words), 'changes': changes})
    return writes
