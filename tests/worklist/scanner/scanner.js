// A scanner as the worklist's tests play it, on dcmjs-dimse: it asks the worklist for its day, then reports an
// examination through MPPS, each on an association of its own as scanners do. Prints one JSON object.
//
//   node scanner.js HOST PORT CALLING_AE CALLED_AE worklist YYYYMMDD
//   node scanner.js HOST PORT CALLING_AE CALLED_AE exam ACCESSION [COMPLETED|DISCONTINUED]
//   node scanner.js HOST PORT CALLING_AE CALLED_AE create ACCESSION [PATIENT_ID [PATIENT_NAME [PATIENT_BIRTH_DATE]]]
//   node scanner.js HOST PORT CALLING_AE CALLED_AE set SOP_INSTANCE_UID COMPLETED|DISCONTINUED
// An MPPS answer carries its status and, when the service gives one, its Error Comment; create also prints the SOP
// Instance UID it used, for a later set.
'use strict';

const dimse = require('dcmjs-dimse');
const { Client, Dataset } = dimse;
const { CFindRequest, NCreateRequest, NSetRequest } = dimse.requests;
const { SopClass, Status } = dimse.constants;
dimse.log.setLevel('error');

const [host, port, callingAe, calledAe, mode, value, finalStatus] = process.argv.slice(2);

function send(requests) {
  return new Promise((resolve, reject) => {
    const client = new Client();
    const results = [];
    for (const request of requests) {
      request.on('response', (response) => results.push(response));
      client.addRequest(request);
    }
    client.on('associationRejected', (result) => reject(new Error('rejected: ' + JSON.stringify(result))));
    client.on('networkError', (e) => reject(e));
    client.on('closed', () => resolve(results));
    client.send(host, Number(port), callingAe, calledAe);
  });
}

async function worklist(date) {
  const request = CFindRequest.createWorklistFindRequest({
    // The keys of the step's item are asked for as a scanner asks: its own station and the day, the rest empty.
    ScheduledProcedureStepSequence: [{ Modality: 'MR', ScheduledStationAETitle: callingAe,
                                       ScheduledProcedureStepStartDate: date, ScheduledProcedureStepStartTime: '',
                                       ScheduledProcedureStepID: '', ScheduledProcedureStepDescription: '' }],
  });
  const responses = await send([request]);
  const items = responses.filter((r) => r.getStatus() === Status.Pending && r.hasDataset())
    .map((r) => r.getDataset().getElements());
  return { status: responses[responses.length - 1].getStatus(), items };
}

function performedStep(accession, status, patient = {}) {
  return new Dataset({
    ...(patient.name ? { SpecificCharacterSet: 'ISO_IR 192', PatientName: patient.name } : {}),
    ...(patient.id ? { PatientID: patient.id } : {}),
    ...(patient.birthDate ? { PatientBirthDate: patient.birthDate } : {}),
    PerformedProcedureStepStatus: status,
    PerformedStationAETitle: callingAe,
    Modality: 'MR',
    PerformedProcedureStepStartDate: '20261208',
    PerformedProcedureStepStartTime: '093000',
    ScheduledStepAttributesSequence: [{ AccessionNumber: accession, ScheduledProcedureStepID: accession }],
  });
}

function answer(response) {
  return { status: response.getStatus(), comment: response.getErrorComment() || '' };
}

async function create(accession, uid, patient) {
  const request = new NCreateRequest(SopClass.ModalityPerformedProcedureStep, uid);
  request.setDataset(performedStep(accession, 'IN PROGRESS', patient));
  const [response] = await send([request]);
  return answer(response);
}

async function set(uid, status) {
  const request = new NSetRequest(SopClass.ModalityPerformedProcedureStep, uid);
  request.setDataset(new Dataset({ PerformedProcedureStepStatus: status,
                                   PerformedProcedureStepEndDate: '20261208',
                                   PerformedProcedureStepEndTime: '100000' }));
  const [response] = await send([request]);
  return answer(response);
}

async function main() {
  const uid = '2.25.' + BigInt('0x' + require('crypto').randomBytes(15).toString('hex')).toString();
  let result;
  if (mode === 'worklist') {
    result = await worklist(value);
  } else if (mode === 'exam') {
    const created = await create(value, uid);
    const finished = await set(uid, finalStatus || 'COMPLETED');
    result = { create: created.status, set: finished.status, createComment: created.comment, setComment: finished.comment };
  } else if (mode === 'create') {
    const created = await create(value, uid, { id: finalStatus, name: process.argv[9], birthDate: process.argv[10] });
    result = { create: created.status, comment: created.comment, uid };
  } else if (mode === 'set') {
    const finished = await set(value, finalStatus);
    result = { set: finished.status, comment: finished.comment };
  } else {
    throw new Error('unknown mode ' + mode);
  }
  process.stdout.write(JSON.stringify(result) + '\n');
}

main().catch((e) => {
  process.stderr.write(String(e && e.stack || e) + '\n');
  process.exit(1);
});
